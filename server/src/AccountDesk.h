#pragma once

#include "Database.h"
#include "Request.h"
#include "ServiceConfig.h"

#include <QJsonObject>

// Sign-in, device list and the user request that carries the newest client version.
class AccountDesk
{
public:
    AccountDesk(Database &db, const ServiceConfig &config) : m_db(db), m_config(config) {}

    QJsonObject login(const Request &request) const;
    QJsonObject devices(const Request &request) const;
    QJsonObject user(const Request &request) const;

private:
    Database &m_db;
    const ServiceConfig &m_config;
};
