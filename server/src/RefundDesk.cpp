#include "RefundDesk.h"

#include "Channel.h"
#include "Money.h"
#include "OrderStore.h"
#include "Replies.h"

namespace {

qint64 requireAmount(const Request &request)
{
    const std::optional<qint64> amount = Money::parseYuan(request.form.value(QStringLiteral("refmoney")));
    if (!amount)
        throw Refusal(QStringLiteral("退款金额无效：请输入大于0、最多两位小数的金额（元）"));
    return *amount;
}

void checkRefundable(const Order &order, Channel channel, qint64 amount)
{
    if (order.payt != payt(channel))
        throw Refusal(QStringLiteral("该订单不是%1订单").arg(channelName(channel)));
    if (!order.isPaid())
        throw Refusal(QStringLiteral("订单尚未支付，不能退款"));
    const qint64 left = order.totalFee - order.refunded;
    if (left <= 0)
        throw Refusal(QStringLiteral("该订单已全额退款"));
    if (amount > left)
        throw Refusal(QStringLiteral("退款金额超过可退金额（可退%1元）").arg(Money::formatYuan(left)));
}

QJsonObject success(const Order &order, qint64 amount)
{
    const QJsonObject call{
        {QStringLiteral("msg"), Replies::refunded},
        {QStringLiteral("out_trade_no"), order.outTradeNo},
        {QStringLiteral("transaction_id"), order.transactionId},
        {QStringLiteral("refund_fee"), QString::number(amount)},
        {QStringLiteral("refunds"), QString::number(order.refunded + amount)},
        {QStringLiteral("total_fee"), QString::number(order.totalFee)},
    };
    return QJsonObject{{QStringLiteral("call"), call}};
}

} // namespace

QJsonObject RefundDesk::refundWeChat(const Request &request) const
{
    const QString tradeNo = request.form.value(QStringLiteral("out_trade_no"));
    if (tradeNo.isEmpty())
        throw Refusal(QStringLiteral("订单号不能为空"));
    const qint64 amount = requireAmount(request);
    return m_db.write([&](sqlite3 *db) {
        OrderStore orders(db);
        const qint64 now = m_config.now();
        orders.settleDue(now);
        const std::optional<Order> order = orders.byTradeNo(request.merchant.id, tradeNo);
        if (!order)
            throw Refusal(QStringLiteral("订单不存在：%1").arg(Replies::echo(tradeNo)));
        checkRefundable(*order, Channel::WeChat, amount);
        orders.addRefund(order->id, amount, now);
        return success(*order, amount);
    });
}

QJsonObject RefundDesk::refundAlipay(const Request &request) const
{
    const QString tradeNo = request.form.value(QStringLiteral("trade_no"));
    if (tradeNo.isEmpty())
        throw Refusal(QStringLiteral("交易号不能为空"));
    const QString deviceText = request.form.value(QStringLiteral("device"));
    const qint64 amount = requireAmount(request);
    return m_db.write([&](sqlite3 *db) {
        const std::optional<Device> device = Accounts(db).findDevice(request.merchant.id, deviceText);
        if (!device)
            throw Refusal(QStringLiteral("支付设备不存在：%1").arg(Replies::echo(deviceText)));
        OrderStore orders(db);
        const qint64 now = m_config.now();
        orders.settleDue(now);
        const std::optional<Order> order = orders.byTransactionId(request.merchant.id, tradeNo);
        if (!order)
            throw Refusal(QStringLiteral("订单不存在：%1").arg(Replies::echo(tradeNo)));
        if (order->deviceId != device->id)
            throw Refusal(QStringLiteral("该订单不是在设备%1上支付的").arg(device->name));
        checkRefundable(*order, Channel::Alipay, amount);
        orders.addRefund(order->id, amount, now);
        return success(*order, amount);
    });
}
