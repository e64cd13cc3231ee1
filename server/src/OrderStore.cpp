#include "OrderStore.h"

#include "Database.h"

#include <QDateTime>

namespace {

const char *const orderColumns =
    "SELECT o.id, o.out_trade_no, o.transaction_id, o.device_id, d.name, o.payt, "
    "o.total_fee, o.refunded, o.paid_at FROM orders o "
    "JOIN devices d ON d.id = o.device_id ";

QString day(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyyMMdd"));
}

// 18 digits, unique through the row id: the day of the sale, then the id.
QString outTradeNo(qint64 id, qint64 createdAt)
{
    return day(createdAt) + QString::number(id).rightJustified(10, QLatin1Char('0'));
}

// 28 digits in the channels' usual looks; WeChat numbers start "42", Alipay ones with the year.
QString transactionId(const QString &payt, qint64 id, qint64 createdAt)
{
    const QString serial = QString::number(id).rightJustified(18, QLatin1Char('0'));
    return payt == QLatin1String("Kesto") ? QStringLiteral("42") + day(createdAt) + serial
                                          : day(createdAt) + QStringLiteral("22") + serial;
}

} // namespace

void OrderStore::settleDue(qint64 now)
{
    Statement update(m_db,
                     "UPDATE orders SET paid_at = confirm_at WHERE paid_at IS NULL AND confirm_at <= ?");
    update.bind(1, now).run();
}

bool OrderStore::isCodeUsed(const QString &code) const
{
    Statement query(m_db, "SELECT 1 FROM orders WHERE code = ?");
    query.bind(1, code);
    return query.step();
}

Order OrderStore::create(const NewOrder &order)
{
    Statement next(m_db, "SELECT COALESCE(MAX(id), 0) + 1 FROM orders");
    next.step();
    const qint64 id = next.integer(0);

    Statement insert(m_db,
                     "INSERT INTO orders(id, out_trade_no, transaction_id, merchant_id, device_id, payt, "
                     "code, total_fee, created_at, confirm_at, paid_at) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.bind(1, id)
        .bind(2, outTradeNo(id, order.createdAt))
        .bind(3, transactionId(order.payt, id, order.createdAt))
        .bind(4, order.merchantId)
        .bind(5, order.deviceId)
        .bind(6, order.payt);
    if (order.code.isEmpty())
        insert.bindNull(7);
    else
        insert.bind(7, order.code);
    insert.bind(8, order.totalFee).bind(9, order.createdAt);
    if (order.confirmAt)
        insert.bind(10, *order.confirmAt);
    else
        insert.bindNull(10);
    if (order.paidAt)
        insert.bind(11, *order.paidAt);
    else
        insert.bindNull(11);
    insert.run();

    Statement read(m_db, (std::string(orderColumns) + "WHERE o.id = ?").c_str());
    read.bind(1, id).step();
    return fromRow(read);
}

std::optional<Order> OrderStore::byTradeNo(qint64 merchantId, const QString &outTradeNo) const
{
    return findOne("WHERE o.merchant_id = ? AND o.out_trade_no = ?", merchantId, outTradeNo);
}

std::optional<Order> OrderStore::byTransactionId(qint64 merchantId, const QString &transactionId) const
{
    return findOne("WHERE o.merchant_id = ? AND o.transaction_id = ?", merchantId, transactionId);
}

void OrderStore::addRefund(qint64 orderId, qint64 amount, qint64 at)
{
    Statement insert(m_db, "INSERT INTO refunds(order_id, amount, refunded_at) VALUES (?, ?, ?)");
    insert.bind(1, orderId).bind(2, amount).bind(3, at).run();
    Statement update(m_db, "UPDATE orders SET refunded = refunded + ? WHERE id = ?");
    update.bind(1, amount).bind(2, orderId).run();
}

std::optional<Order> OrderStore::findOne(const char *where, qint64 merchantId, const QString &key) const
{
    Statement query(m_db, (std::string(orderColumns) + where).c_str());
    query.bind(1, merchantId).bind(2, key);
    if (!query.step())
        return std::nullopt;
    return fromRow(query);
}

Order OrderStore::fromRow(const Statement &row)
{
    Order order;
    order.id = row.integer(0);
    order.outTradeNo = row.text(1);
    order.transactionId = row.text(2);
    order.deviceId = row.integer(3);
    order.deviceName = row.text(4);
    order.payt = row.text(5);
    order.totalFee = row.integer(6);
    order.refunded = row.integer(7);
    if (!row.isNull(8))
        order.paidAt = row.integer(8);
    return order;
}
