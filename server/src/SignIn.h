#pragma once

#include "Accounts.h"
#include "Database.h"
#include "ServiceConfig.h"

#include <QByteArray>
#include <QHash>
#include <QVector>
#include <mutex>
#include <optional>

// The account check that every request makes. The slow hash is computed outside the database
// lock, and once per password: a password that matched is remembered as a keyed digest, which is
// as good as the hash and fast, until the stored password changes. Wrong passwords are throttled
// per account.
class SignIn
{
public:
    SignIn(Database &db, const ServiceConfig &config);

    std::optional<Merchant> check(const QString &username, const QString &password);

private:
    // Waits when this account has had too many wrong passwords lately.
    void throttle(const QString &username);
    void recordFailure(const QString &username);
    QByteArray digest(const QString &password) const;
    // What an unknown name is checked against, hashed on the first such request rather than at
    // every start.
    const StoredPassword &decoy();

    Database &m_db;
    const ServiceConfig &m_config;
    const QByteArray m_key;
    std::once_flag m_decoyMade;
    StoredPassword m_decoy;
    std::mutex m_mutex;
    QHash<QString, QPair<QString, QByteArray>> m_matched; // username: stored hash, digest
    QHash<QString, QVector<qint64>> m_failures;           // username: times of recent wrong passwords
};
