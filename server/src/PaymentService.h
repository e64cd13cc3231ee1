#pragma once

#include "AccountDesk.h"
#include "Database.h"
#include "PaymentDesk.h"
#include "RefundDesk.h"
#include "ReportDesk.h"
#include "Router.h"
#include "ServiceConfig.h"

// The whole service without its transport: opens (and on first use seeds) the database and wires
// every path to its desk.
class PaymentService
{
public:
    PaymentService(const QString &databasePath, ServiceConfig config);

    const Router &router() const { return m_router; }
    // Stopping the transport waits for the requests in progress; call this first so that held
    // payment replies do not delay it.
    void releaseHeldReplies() { m_payments.releaseHeldReplies(); }

private:
    ServiceConfig m_config;
    Database m_db;
    AccountDesk m_accounts;
    PaymentDesk m_payments;
    RefundDesk m_refunds;
    ReportDesk m_reports;
    Router m_router;
};
