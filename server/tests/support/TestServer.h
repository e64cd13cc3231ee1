#pragma once

#include "paymentserver.h"
#include "rows.h"

#include <QJsonObject>
#include <string>

using Fields = QList<QPair<QString, QString>>;

const std::string Pi = "/index.php/Pay/Payinterface/";
const std::string AliRefund = "/index.php/pay/Payinterface/alirefunds";
const QString Front = QStringLiteral("1_前台");
const QString Second = QStringLiteral("2_收银台2");

// "支付81笔，合计19829.90元，..." or "退款3笔，合计4.25元": the count and the first sum in fen.
struct Summary
{
    int count = -1;
    qint64 fen = -1;
};
Summary parseSummary(const QString &tongji);

// Today as the client sends it, and a day before it as the service also takes it.
QString today();
QString daysAgo(int days);

// The payment service (tests/support) and what a test posts to it as the client would.
class TestServer : public PaymentServer
{
public:
    using PaymentServer::PaymentServer;

    int port() const;
    // The body exactly as given, nothing encoded; a reply that is not a JSON object gives {}.
    QJsonObject postRaw(const std::string &path, const std::string &body, int *status = nullptr) const;
    // The demo account's credentials and then the fields.
    QJsonObject post(const std::string &path, const Fields &fields) const;
    QJsonObject call(const std::string &path, const Fields &fields) const
    {
        return post(path, fields)["call"].toObject();
    }
    // One page of records and its summary.
    QJsonObject records(const QString &device, const QString &from, const QString &to, const QString &kind,
                        const QString &page = QStringLiteral("1")) const;
};
