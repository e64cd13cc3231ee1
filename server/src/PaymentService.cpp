#include "PaymentService.h"

#include "Schema.h"
#include "Seeder.h"

PaymentService::PaymentService(const QString &databasePath, ServiceConfig config)
    : m_config(std::move(config)), m_db(databasePath), m_signIn(m_db, m_config), m_accounts(m_db, m_config),
      m_payments(m_db, m_config), m_refunds(m_db, m_config), m_reports(m_db, m_config),
      m_router([this](const QString &username, const QString &password) {
          return m_signIn.check(username, password);
      })
{
    m_db.write([this](sqlite3 *db) {
        Schema::create(db);
        return Seeder::seedIfEmpty(db, m_config.now(), m_config.passwordRounds);
    });

    const std::string payInterface = "/index.php/Pay/Payinterface/";
    m_router.add(payInterface + "getLogin", ReplyShape::Login,
                 [this](const Request &r) { return m_accounts.login(r); });
    m_router.add(payInterface + "mdevices", ReplyShape::Devices,
                 [this](const Request &r) { return m_accounts.devices(r); });
    m_router.add("/index.php/Pay/Pays/getuser", ReplyShape::User,
                 [this](const Request &r) { return m_accounts.user(r); });
    m_router.add(payInterface + "mreport", ReplyShape::Report,
                 [this](const Request &r) { return m_reports.report(r); });
    m_router.add(payInterface + "kesto", ReplyShape::Call,
                 [this](const Request &r) { return m_payments.pay(r, Channel::WeChat); });
    m_router.add(payInterface + "AliPay", ReplyShape::Call,
                 [this](const Request &r) { return m_payments.pay(r, Channel::Alipay); });
    m_router.add(payInterface + "wxQuery", ReplyShape::Call,
                 [this](const Request &r) { return m_payments.query(r, Channel::WeChat); });
    m_router.add(payInterface + "AliQuery", ReplyShape::Call,
                 [this](const Request &r) { return m_payments.query(r, Channel::Alipay); });
    m_router.add(payInterface + "GetOrders", ReplyShape::Call,
                 [this](const Request &r) { return m_payments.lookup(r); });
    m_router.add(payInterface + "mrefunding", ReplyShape::Call,
                 [this](const Request &r) { return m_refunds.refundWeChat(r); });
    // The client spells this one path with a lower-case "pay".
    m_router.add("/index.php/pay/Payinterface/alirefunds", ReplyShape::Call,
                 [this](const Request &r) { return m_refunds.refundAlipay(r); });
}

void PaymentService::setPassword(const QString &username, const QString &password)
{
    const StoredPassword stored = StoredPassword::make(password, m_config.passwordRounds);
    m_db.write([&](sqlite3 *db) {
        Accounts accounts(db);
        if (const std::optional<Account> account = accounts.find(username)) {
            accounts.replacePassword(account->merchant.id, account->password, stored);
        } else {
            Merchant merchant;
            merchant.userid = merchant.mchid = accounts.nextUserid();
            merchant.title = username;
            accounts.addDevice(accounts.addMerchant(username, stored, merchant), QStringLiteral("前台"));
        }
        return true;
    });
}
