#pragma once

#include <QString>
#include <optional>

// Amounts travel as yuan text towards the service and as fen text back; inside they are whole fen.
namespace Money {

// A positive yuan amount with at most two decimals ("12", "12.5", "0.01", ".5"), below ten million yuan.
std::optional<qint64> parseYuan(const QString &text);

// Fen as plain yuan with two decimals, e.g. 1250 -> "12.50".
QString formatYuan(qint64 fen);

} // namespace Money
