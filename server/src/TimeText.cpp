#include "TimeText.h"

#include <QDateTime>
#include <QRegularExpression>

namespace TimeText {

QString stamp(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyyMMddHHmmss"));
}

QDate parseDay(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{4})([/-])(\\d{1,2})\\2(\\d{1,2})\\z"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QDate();
    return QDate(match.captured(1).toInt(), match.captured(3).toInt(), match.captured(4).toInt());
}

qint64 dayStart(const QDate &day)
{
    return day.startOfDay().toMSecsSinceEpoch();
}

qint64 dayEnd(const QDate &day)
{
    return day.addDays(1).startOfDay().toMSecsSinceEpoch();
}

} // namespace TimeText
