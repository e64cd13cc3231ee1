#pragma once

#include "paymentserver.h"
#include "rows.h"

#include <QJsonDocument>
#include <QUrl>
#include <httplib.h>

const QString Front = QStringLiteral("1_前台");
const QString Paid = QStringLiteral("支付成功");
const QString Refunded = QStringLiteral("退款成功");

// Days back, or ahead when negative, as the service takes them.
inline QString daysAgo(int days)
{
    return QDate::currentDate().addDays(-days).toString(QStringLiteral("yyyy-MM-dd"));
}
inline QString yuan(qint64 fen)
{
    return QStringLiteral("%1.%2").arg(fen / 100).arg(fen % 100, 2, 10, QLatin1Char('0'));
}

// The records' summary, "支付81笔，合计19829.90元，已退款12.00元" or "退款3笔，合计4.25元", in fen.
struct Summary
{
    qint64 count = -1, fen = -1, refunded = -1;
};
inline Summary summaryOf(const QJsonObject &list)
{
    const QRegularExpressionMatch match =
        QRegularExpression(
            QStringLiteral("^..(\\d+)笔，合计(\\d+)\\.(\\d\\d)元(?:，已退款(\\d+)\\.(\\d\\d)元)?$"))
            .match(list["total"].toObject()["tongji"].toString());
    if (!match.hasMatch())
        return Summary();
    return Summary{match.captured(1).toLongLong(),
                   match.captured(2).toLongLong() * 100 + match.captured(3).toInt(),
                   match.captured(4).toLongLong() * 100 + match.captured(5).toInt()};
}
// What came between two summaries: "count fen refunded".
inline QString added(const Summary &before, const Summary &after)
{
    return QStringLiteral("%1 %2 %3")
        .arg(after.count - before.count)
        .arg(after.fen - before.fen)
        .arg(after.refunded - before.refunded);
}

// The payment service (tests/support) and what a till posts to it.
class TestServer : public PaymentServer
{
public:
    using PaymentServer::PaymentServer;

    // The fields as they are, after the demo account's credentials unless they bring their own, to
    // a path of the pay interface (which the client spells with a lower-case "pay" for one path).
    // A reply that is not a JSON object gives {}.
    QJsonObject post(const QString &path, QByteArray fields, int *status = nullptr) const
    {
        if (!fields.startsWith("username="))
            fields.prepend("username=demo&password=demo123&");
        const QString url =
            (path == "alirefunds" ? "/index.php/pay/Payinterface/" : "/index.php/Pay/Payinterface/") + path;
        httplib::Client client("127.0.0.1", QUrl(baseUrl()).port());
        client.set_read_timeout(30, 0);
        const auto reply =
            client.Post(url.toStdString(), fields.toStdString(), "application/x-www-form-urlencoded");
        if (status)
            *status = reply ? reply->status : -1;
        return reply ? QJsonDocument::fromJson(QByteArray::fromStdString(reply->body)).object()
                     : QJsonObject();
    }
    QJsonObject call(const QString &path, const QString &fields) const
    {
        return post(path, fields.toUtf8())["call"].toObject();
    }
    QJsonObject pay(const QString &path, const QString &code, const QString &price,
                    const QString &drive = Front) const
    {
        return call(path, QStringLiteral("codes=%1&price=%2&drive=%3").arg(code, price, drive));
    }
    // As the refund window sends it on the order's channel, the order as its sale or lookup answered.
    QJsonObject refund(const QJsonObject &order, const QString &amount) const
    {
        if (order["payt"].toString() == "Kesto")
            return call("mrefunding", QStringLiteral("out_trade_no=%1&total_fee=%2&refmoney=%3")
                                          .arg(order["out_trade_no"].toString(),
                                               yuan(order["total_fee"].toString().toLongLong()), amount));
        return call("alirefunds",
                    QStringLiteral("trade_no=%1&device=%2&refmoney=%3")
                        .arg(order["transaction_id"].toString(), order["device_info"].toString(), amount));
    }
    // The lookup before a refund, from the first till.
    QJsonObject lookup(const QString &tradeNo) const
    {
        return call("GetOrders", "device=1&out_trade_no=" + tradeNo);
    }
    // A page of the records from some days back to tomorrow, and their summary.
    QJsonObject records(const QString &device, const QString &kind, int days = 0, int page = 1) const
    {
        return post("mreport", QStringLiteral("device=%1&startime=%2&endtime=%3&paytype=%4&p=%5")
                                   .arg(device, daysAgo(days), daysAgo(-1), kind, QString::number(page))
                                   .toUtf8())["list"]
            .toObject();
    }
};
