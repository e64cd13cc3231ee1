#include "Money.h"

#include <QRegularExpression>

namespace Money {

std::optional<qint64> parseYuan(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^0*(\\d{0,7})(?:\\.(\\d{0,2}))?\\z"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch() || !text.contains(QRegularExpression(QStringLiteral("\\d"))))
        return std::nullopt;
    const qint64 yuan = match.captured(1).toLongLong();
    const QString decimals = match.captured(2).leftJustified(2, QLatin1Char('0'));
    const qint64 fen = yuan * 100 + decimals.toLongLong();
    if (fen <= 0)
        return std::nullopt;
    return fen;
}

QString formatYuan(qint64 fen)
{
    const QString sign = fen < 0 ? QStringLiteral("-") : QString();
    const qint64 magnitude = fen < 0 ? -fen : fen;
    return sign + QString::number(magnitude / 100) + QLatin1Char('.') +
           QString::number(magnitude % 100).rightJustified(2, QLatin1Char('0'));
}

} // namespace Money
