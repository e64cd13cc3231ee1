#include "mainwindow/records.h"

#include "service/replyformat.h"

#include <QMap>

namespace {

QString text(const QJsonObject &record, const char *key)
{
    return record.value(QLatin1String(key)).toString();
}

QStringList cellsOf(const QJsonObject &record)
{
    const QString channel = text(record, "payt") == QStringLiteral("Kesto") ? QStringLiteral("微信支付")
                                                                            : QStringLiteral("支付宝钱包");
    return {text(record, "id"),
            channel,
            text(record, "device_info"),
            QStringLiteral("￥") + yuanFromFen(text(record, "total_fee")),
            QStringLiteral("￥") + yuanFromFen(text(record, "refunds")),
            text(record, "out_trade_no"),
            text(record, "transaction_id"),
            serviceTimeText(text(record, "time_end"))};
}

QJsonObject receiptOf(const QJsonObject &record)
{
    QJsonObject receipt;
    for (const char *key : {"out_trade_no", "payt", "time_end", "total_fee"})
        receipt.insert(QLatin1String(key), text(record, key));
    return receipt;
}

} // namespace

RecordsPage parseRecords(const QJsonObject &reply)
{
    const QJsonObject list = reply.value(QStringLiteral("list")).toObject();
    const QJsonObject page = list.value(QStringLiteral("page")).toObject();
    const int lastIndex = wholeNumber(page.value(QStringLiteral("np")));

    RecordsPage result;
    result.pageCount = wholeNumber(page.value(QStringLiteral("pmax")));
    result.statistics = shownMessage(
        list.value(QStringLiteral("total")).toObject().value(QStringLiteral("tongji")).toString());

    // Only the keys that are there are visited, so a wild "np" costs nothing. An index is also
    // below the number of entries in the list: the view has a row for every index up to the
    // largest, and a wild key must not ask it for two billion of them.
    QMap<int, QJsonObject> records;
    for (auto it = list.constBegin(); it != list.constEnd(); ++it) {
        bool isIndex = false;
        const int index = it.key().toInt(&isIndex);
        if (isIndex && index >= 0 && index <= lastIndex && index < list.size() &&
            it.key() == QString::number(index))
            records.insert(index, it.value().toObject());
    }
    for (auto it = records.constBegin(); it != records.constEnd(); ++it) {
        if (!text(it.value(), "out_trade_no").isEmpty())
            result.rows.append({it.key(), cellsOf(it.value()), receiptOf(it.value())});
    }
    return result;
}
