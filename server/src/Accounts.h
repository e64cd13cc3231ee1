#pragma once

#include "Passwords.h"

#include <QString>
#include <QVector>
#include <optional>

struct sqlite3;

struct Merchant
{
    qint64 id = 0;
    QString userid;
    QString title;
    QString mchid;
};

struct Account
{
    Merchant merchant;
    StoredPassword password;
};

struct Device
{
    qint64 id = 0;
    QString name;
};

// Merchant accounts and their devices, read inside the caller's transaction.
class Accounts
{
public:
    explicit Accounts(sqlite3 *db) : m_db(db) {}

    std::optional<Account> find(const QString &username) const;
    QVector<Device> devices(qint64 merchantId) const;

    // A device of this merchant named the way the client names it: "ID_NAME" (both must match),
    // a bare id, or a bare name as the records show it.
    std::optional<Device> findDevice(qint64 merchantId, const QString &text) const;

    qint64 addMerchant(const QString &username, const StoredPassword &password, const Merchant &merchant);
    // Replaces the stored password only if it is still `old`, so that a password set meanwhile
    // is not undone.
    void replacePassword(qint64 merchantId, const StoredPassword &old, const StoredPassword &password);
    // One more than the highest merchant user id.
    QString nextUserid() const;
    qint64 addDevice(qint64 merchantId, const QString &name);

private:
    sqlite3 *m_db;
};
