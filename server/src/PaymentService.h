#pragma once

#include "AccountDesk.h"
#include "Database.h"
#include "PaymentDesk.h"
#include "RefundDesk.h"
#include "ReportDesk.h"
#include "Router.h"
#include "ServiceConfig.h"
#include "SignIn.h"

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
    // Sets the password of an account; a new name becomes a merchant of that title with one till.
    void setPassword(const QString &username, const QString &password);

private:
    ServiceConfig m_config;
    Database m_db;
    SignIn m_signIn;
    AccountDesk m_accounts;
    PaymentDesk m_payments;
    RefundDesk m_refunds;
    ReportDesk m_reports;
    Router m_router;
};
