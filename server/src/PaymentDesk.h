#pragma once

#include "Channel.h"
#include "Database.h"
#include "Request.h"
#include "ServiceConfig.h"

#include <QJsonObject>

// Barcode payments, their queries and the order lookup of the refund window.
class PaymentDesk
{
public:
    PaymentDesk(Database &db, const ServiceConfig &config) : m_db(db), m_config(config) {}

    QJsonObject pay(const Request &request, Channel channel) const;
    QJsonObject query(const Request &request, Channel channel) const;
    QJsonObject lookup(const Request &request) const;

private:
    Database &m_db;
    const ServiceConfig &m_config;
};
