#include "SignIn.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <openssl/crypto.h>
#include <thread>

namespace {

constexpr int freeFailures = 5;
constexpr qint64 failureWindowMs = 60 * 1000;

QByteArray randomKey()
{
    QByteArray key(32, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(key.data()), key.size() / 4);
    return key;
}

} // namespace

SignIn::SignIn(Database &db, const ServiceConfig &config) : m_db(db), m_config(config), m_key(randomKey()) {}

std::optional<Merchant> SignIn::check(const QString &username, const QString &password)
{
    throttle(username);
    const std::optional<Account> account =
        m_db.read([&](sqlite3 *db) { return Accounts(db).find(username); });
    // An unknown name costs as much as a wrong password, so that timing does not tell names apart.
    const StoredPassword &stored = account ? account->password : decoy();
    const QByteArray typed = digest(password);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto matched = m_matched.constFind(username);
        if (account && matched != m_matched.constEnd() && matched->first == stored.hash &&
            CRYPTO_memcmp(matched->second.constData(), typed.constData(), typed.size()) == 0)
            return account->merchant;
    }
    if (!stored.matches(password) || !account) {
        recordFailure(username);
        return std::nullopt;
    }
    StoredPassword current = stored;
    if (stored.isOldForm()) {
        current = StoredPassword::make(password, m_config.passwordRounds);
        m_db.write([&](sqlite3 *db) {
            Accounts(db).replacePassword(account->merchant.id, stored, current);
            return true;
        });
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_matched.insert(username, {current.hash, typed});
    m_failures.remove(username);
    return account->merchant;
}

void SignIn::throttle(const QString &username)
{
    bool wait = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto times = m_failures.find(username);
        if (times == m_failures.end())
            return;
        const qint64 since = m_config.now() - failureWindowMs;
        times->erase(std::remove_if(times->begin(), times->end(), [since](qint64 t) { return t < since; }),
                     times->end());
        wait = times->size() >= freeFailures;
        if (times->isEmpty())
            m_failures.erase(times);
    }
    if (wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_config.throttleDelayMs));
}

void SignIn::recordFailure(const QString &username)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const qint64 now = m_config.now();
    // Only the newest few per name matter, and only names tried lately: memory stays bounded
    // however many wrong passwords arrive.
    if (m_failures.size() > 1000) {
        for (auto it = m_failures.begin(); it != m_failures.end();)
            it = it->last() < now - failureWindowMs ? m_failures.erase(it) : std::next(it);
    }
    QVector<qint64> &times = m_failures[username];
    if (times.size() >= freeFailures)
        times.removeFirst();
    times.append(now);
}

QByteArray SignIn::digest(const QString &password) const
{
    return QMessageAuthenticationCode::hash(password.toUtf8(), m_key, QCryptographicHash::Sha256);
}

const StoredPassword &SignIn::decoy()
{
    std::call_once(m_decoyMade, [this] {
        m_decoy = StoredPassword::make(QStringLiteral("decoy"), m_config.passwordRounds);
    });
    return m_decoy;
}
