#pragma once

#include "Channel.h"
#include "Database.h"
#include "Request.h"
#include "ServiceConfig.h"

#include <QJsonObject>
#include <condition_variable>
#include <mutex>

// Barcode payments, their queries and the order lookup of the refund window.
class PaymentDesk
{
public:
    PaymentDesk(Database &db, const ServiceConfig &config) : m_db(db), m_config(config) {}

    QJsonObject pay(const Request &request, Channel channel) const;
    QJsonObject query(const Request &request, Channel channel) const;
    QJsonObject lookup(const Request &request) const;

    // Sends the replies held back by the slow-reply scenario at once, now and from then on, so that
    // stopping the server does not wait for them.
    void releaseHeldReplies();

private:
    void holdReply() const;

    Database &m_db;
    const ServiceConfig &m_config;
    mutable std::mutex m_holdMutex;
    mutable std::condition_variable m_holdEnded;
    bool m_released = false;
};
