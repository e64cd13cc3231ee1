#pragma once

#include <QString>
#include <optional>

struct sqlite3;
class Statement;

struct Order
{
    qint64 id = 0;
    QString outTradeNo;
    QString transactionId;
    qint64 deviceId = 0;
    QString deviceName;
    QString payt;
    qint64 totalFee = 0;
    qint64 refunded = 0;
    std::optional<qint64> paidAt;

    bool isPaid() const { return paidAt.has_value(); }
};

struct NewOrder
{
    qint64 merchantId = 0;
    qint64 deviceId = 0;
    QString payt;
    QString code; // empty for orders without a scanned code (seeded history)
    qint64 totalFee = 0;
    qint64 createdAt = 0;
    std::optional<qint64> paidAt;
    std::optional<qint64> confirmAt;
};

// Orders and their refunds, used inside the caller's transaction.
class OrderStore
{
public:
    explicit OrderStore(sqlite3 *db) : m_db(db) {}

    // Waiting payments whose confirmation time has come become paid at that time. Run before any
    // read that must see them, so no timer thread is needed.
    void settleDue(qint64 now);

    bool isCodeUsed(const QString &code) const;
    Order create(const NewOrder &order);
    std::optional<Order> byTradeNo(qint64 merchantId, const QString &outTradeNo) const;
    std::optional<Order> byTransactionId(qint64 merchantId, const QString &transactionId) const;
    void addRefund(qint64 orderId, qint64 amount, qint64 at);

private:
    static Order fromRow(const Statement &row);
    std::optional<Order> findOne(const char *where, qint64 merchantId, const QString &key) const;

    sqlite3 *m_db;
};
