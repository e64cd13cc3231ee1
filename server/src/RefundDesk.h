#pragma once

#include "Database.h"
#include "Request.h"
#include "ServiceConfig.h"

#include <QJsonObject>

// Refunds of paid orders; partial refunds add up and never pass the order's amount.
class RefundDesk
{
public:
    RefundDesk(Database &db, const ServiceConfig &config) : m_db(db), m_config(config) {}

    // WeChat Pay: the order by its out_trade_no. The client's total_fee is its own rounded display
    // of the order amount, so the stored amount is what bounds the refund.
    QJsonObject refundWeChat(const Request &request) const;
    // Alipay: the order by its transaction_id (trade_no) on the given device.
    QJsonObject refundAlipay(const Request &request) const;

private:
    Database &m_db;
    const ServiceConfig &m_config;
};
