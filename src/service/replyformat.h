#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <optional>

// How values of the service's replies are read and shown.

// An amount in fen as yuan text, exact and without trailing zeros: "1250" gives "12.5",
// "1" gives "0.01". Empty or non-numeric text gives "0".
QString yuanFromFen(const QString &fen);
QString yuanFromFen(qint64 fen);

// A yuan amount as typed by the cashier in whole fen: positive, at most two decimals, below ten
// million yuan ("12", "12.5", "0.01", ".5"); the service refuses anything else, so this does too.
std::optional<qint64> fenFromYuan(const QString &yuan);

// A message of the service as the cashier is shown it: a broken service can send megabytes, which
// would freeze the label or box that lays them out, so a long one is cut to its first 100 characters.
QString shownMessage(const QString &message);

// A 14-digit service time yyyyMMddHHmmss with each of its six parts followed by the mark in the same
// place of `marks`: by default "2016年03月05日 14时22分33秒". Shorter texts give shorter parts.
QString serviceTimeText(const QString &time,
                        const QStringList &marks = {QStringLiteral("年"), QStringLiteral("月"),
                                                    QStringLiteral("日 "), QStringLiteral("时"),
                                                    QStringLiteral("分"), QStringLiteral("秒")});

// A whole JSON number; a string, a fraction or anything else reads as 0.
int wholeNumber(const QJsonValue &value);
