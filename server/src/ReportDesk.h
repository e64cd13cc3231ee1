#pragma once

#include "Database.h"
#include "Request.h"
#include "ServiceConfig.h"

#include <QJsonObject>

// Payment and refund records of one device over whole days, ten to a page, newest first.
class ReportDesk
{
public:
    static constexpr int pageSize = 10;

    ReportDesk(Database &db, const ServiceConfig &config) : m_db(db), m_config(config) {}

    // "np" is the highest record index on the page (count - 1), so -1 for an empty page;
    // "pmax" the number of pages of the whole range (0 when it is empty).
    QJsonObject report(const Request &request) const;

private:
    Database &m_db;
    const ServiceConfig &m_config;
};
