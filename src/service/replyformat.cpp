#include "service/replyformat.h"

#include <QRegularExpression>
#include <QtMath>
#include <limits>

QString yuanFromFen(const QString &fen)
{
    bool ok = false;
    const qint64 value = fen.toLongLong(&ok);
    return ok ? yuanFromFen(value) : QStringLiteral("0");
}

QString yuanFromFen(qint64 value)
{
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    const qulonglong magnitude = value < 0 ? 0 - qulonglong(value) : qulonglong(value);
    QString text = sign + QString::number(magnitude / 100);
    const qulonglong cents = magnitude % 100;
    if (cents != 0) {
        text += QLatin1Char('.') + QStringLiteral("%1").arg(cents, 2, 10, QLatin1Char('0'));
        if (text.endsWith(QLatin1Char('0')))
            text.chop(1);
    }
    return text;
}

std::optional<qint64> fenFromYuan(const QString &yuan)
{
    static const QRegularExpression pattern(QStringLiteral("^0*(\\d{0,7})(?:\\.(\\d{0,2}))?\\z"));
    const QRegularExpressionMatch match = pattern.match(yuan);
    if (!match.hasMatch() || match.capturedLength(1) + match.capturedLength(2) == 0)
        return std::nullopt;
    const qint64 fen = match.captured(1).toLongLong() * 100 +
                       match.captured(2).leftJustified(2, QLatin1Char('0')).toLongLong();
    if (fen <= 0)
        return std::nullopt;
    return fen;
}

QString shownMessage(const QString &message)
{
    constexpr int Longest = 100;
    return message.size() <= Longest ? message : message.left(Longest) + QStringLiteral("…");
}

QString serviceTimeText(const QString &time, const QStringList &marks)
{
    constexpr int Parts[][2] = {{0, 4}, {4, 2}, {6, 2}, {8, 2}, {10, 2}, {12, 2}};
    QString text;
    for (int i = 0; i < 6; ++i)
        text += time.mid(Parts[i][0], Parts[i][1]) + marks.value(i);
    return text;
}

int wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (number != std::floor(number) || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return 0;
    return int(number);
}
