#include "Accounts.h"

#include "Database.h"

namespace {

bool isDecimal(const QString &text)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

std::optional<Account> Accounts::find(const QString &username) const
{
    Statement query(m_db,
                    "SELECT id, salt, password_hash, userid, title, mchid FROM merchants WHERE username = ?");
    query.bind(1, username);
    if (!query.step())
        return std::nullopt;
    return Account{Merchant{query.integer(0), query.text(3), query.text(4), query.text(5)},
                   StoredPassword{query.text(1), query.text(2)}};
}

QVector<Device> Accounts::devices(qint64 merchantId) const
{
    Statement query(m_db, "SELECT id, name FROM devices WHERE merchant_id = ? ORDER BY id");
    query.bind(1, merchantId);
    QVector<Device> result;
    while (query.step())
        result.append(Device{query.integer(0), query.text(1)});
    return result;
}

std::optional<Device> Accounts::findDevice(qint64 merchantId, const QString &text) const
{
    const int underscore = text.indexOf(QLatin1Char('_'));
    const QString idText = underscore >= 0 ? text.left(underscore) : text;
    if (isDecimal(idText)) {
        Statement query(m_db, "SELECT id, name FROM devices WHERE merchant_id = ? AND id = ?");
        query.bind(1, merchantId).bind(2, idText.toLongLong());
        if (!query.step())
            return std::nullopt;
        const Device device{query.integer(0), query.text(1)};
        // A stale or garbled name must not quietly book onto whichever device has that id.
        if (underscore >= 0 && text.mid(underscore + 1) != device.name)
            return std::nullopt;
        return device;
    }
    if (underscore >= 0 || text.isEmpty())
        return std::nullopt;
    Statement query(m_db, "SELECT id, name FROM devices WHERE merchant_id = ? AND name = ? ORDER BY id");
    query.bind(1, merchantId).bind(2, text);
    if (query.step())
        return Device{query.integer(0), query.text(1)};
    return std::nullopt;
}

qint64 Accounts::addMerchant(const QString &username, const StoredPassword &password,
                             const Merchant &merchant)
{
    Statement insert(m_db, "INSERT INTO merchants(username, salt, password_hash, userid, title, mchid) "
                           "VALUES (?, ?, ?, ?, ?, ?) RETURNING id");
    insert.bind(1, username).bind(2, password.salt).bind(3, password.hash);
    insert.bind(4, merchant.userid).bind(5, merchant.title).bind(6, merchant.mchid);
    insert.step();
    const qint64 id = insert.integer(0);
    insert.run();
    return id;
}

void Accounts::replacePassword(qint64 merchantId, const StoredPassword &old, const StoredPassword &password)
{
    Statement update(m_db, "UPDATE merchants SET salt = ?, password_hash = ? "
                           "WHERE id = ? AND salt = ? AND password_hash = ?");
    update.bind(1, password.salt)
        .bind(2, password.hash)
        .bind(3, merchantId)
        .bind(4, old.salt)
        .bind(5, old.hash);
    update.run();
}

QString Accounts::nextUserid() const
{
    Statement query(m_db, "SELECT COALESCE(MAX(CAST(userid AS INTEGER)), 10000) + 1 FROM merchants");
    query.step();
    return QString::number(query.integer(0));
}

qint64 Accounts::addDevice(qint64 merchantId, const QString &name)
{
    Statement insert(m_db, "INSERT INTO devices(merchant_id, name) VALUES (?, ?) RETURNING id");
    insert.bind(1, merchantId).bind(2, name);
    insert.step();
    const qint64 id = insert.integer(0);
    insert.run();
    return id;
}
