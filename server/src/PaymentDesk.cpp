#include "PaymentDesk.h"

#include "Money.h"
#include "OrderStore.h"
#include "PaymentCode.h"
#include "Replies.h"
#include "TimeText.h"

namespace {

// The code must belong to the channel the cashier chose; say which one it does belong to.
void checkCode(const PaymentCode &code, Channel channel)
{
    if (code.text().isEmpty())
        throw Refusal(QStringLiteral("付款码不能为空"));
    if (code.channel() == PaymentCode::Channel::Invalid)
        throw Refusal(QStringLiteral("付款码无效：应为18位数字的微信或支付宝付款码"));
    if (channel == Channel::WeChat && code.channel() == PaymentCode::Channel::Alipay)
        throw Refusal(QStringLiteral("这是支付宝付款码，请选择支付宝收款"));
    if (channel == Channel::Alipay && code.channel() == PaymentCode::Channel::WeChat)
        throw Refusal(QStringLiteral("这是微信付款码，请选择微信支付收款"));
}

Device requireDevice(sqlite3 *db, const Request &request, const QString &field)
{
    const QString text = request.form.value(field);
    if (text.isEmpty())
        throw Refusal(QStringLiteral("未指定支付设备"));
    const std::optional<Device> device = Accounts(db).findDevice(request.merchant.id, text);
    if (!device)
        throw Refusal(QStringLiteral("支付设备不存在：%1").arg(Replies::echo(text)));
    return *device;
}

// Queries and lookups name a device too; it must be one of the account's when given.
void checkOptionalDevice(sqlite3 *db, const Request &request, const QString &field)
{
    if (!request.form.value(field).isEmpty())
        requireDevice(db, request, field);
}

QString requireTradeNo(const Request &request)
{
    const QString tradeNo = request.form.value(QStringLiteral("out_trade_no"));
    if (tradeNo.isEmpty())
        throw Refusal(QStringLiteral("订单号不能为空"));
    return tradeNo;
}

} // namespace

QJsonObject PaymentDesk::pay(const Request &request, Channel channel) const
{
    const PaymentCode code(request.form.value(QStringLiteral("codes")));
    checkCode(code, channel);
    const std::optional<qint64> amount = Money::parseYuan(request.form.value(QStringLiteral("price")));
    if (!amount)
        throw Refusal(QStringLiteral("金额无效：请输入大于0、最多两位小数的金额（元）"));

    const QJsonObject reply = m_db.write([&](sqlite3 *db) {
        const Device device = requireDevice(db, request, QStringLiteral("drive"));
        if (code.scenario() == PaymentCode::Scenario::InsufficientFunds)
            throw Refusal(QStringLiteral("余额不足"));
        OrderStore orders(db);
        if (orders.isCodeUsed(code.text()))
            throw Refusal(QStringLiteral("付款码已使用，请顾客刷新付款码后重新扫码"));

        const qint64 now = m_config.now();
        NewOrder order;
        order.merchantId = request.merchant.id;
        order.deviceId = device.id;
        order.payt = payt(channel);
        order.code = code.text();
        order.totalFee = *amount;
        order.createdAt = now;
        const bool waits = code.scenario() == PaymentCode::Scenario::AwaitsPassword ||
                           code.scenario() == PaymentCode::Scenario::NeverConfirmed;
        if (code.scenario() == PaymentCode::Scenario::AwaitsPassword)
            order.confirmAt = now + m_config.confirmDelayMs;
        else if (!waits)
            order.paidAt = now;
        const Order created = orders.create(order);
        const QString message = waits ? Replies::awaitingPassword : Replies::paid;
        return QJsonObject{
            {QStringLiteral("call"), Replies::paymentCall(created, request.merchant, message)}};
    });
    // Held only after the commit, so that the database serves other requests meanwhile.
    if (code.scenario() == PaymentCode::Scenario::SlowReply)
        holdReply();
    return reply;
}

QJsonObject PaymentDesk::query(const Request &request, Channel channel) const
{
    const QString tradeNo = requireTradeNo(request);
    return m_db.write([&](sqlite3 *db) {
        checkOptionalDevice(db, request, QStringLiteral("drive"));
        OrderStore orders(db);
        orders.settleDue(m_config.now());
        const std::optional<Order> order = orders.byTradeNo(request.merchant.id, tradeNo);
        if (!order)
            throw Refusal(QStringLiteral("订单不存在：%1").arg(Replies::echo(tradeNo)));
        if (order->payt != payt(channel))
            throw Refusal(QStringLiteral("该订单不是%1订单").arg(channelName(channel)));
        const QString message = order->isPaid() ? Replies::paid : Replies::awaitingPassword;
        return QJsonObject{{QStringLiteral("call"), Replies::paymentCall(*order, request.merchant, message)}};
    });
}

QJsonObject PaymentDesk::lookup(const Request &request) const
{
    const QString tradeNo = requireTradeNo(request);
    return m_db.write([&](sqlite3 *db) {
        checkOptionalDevice(db, request, QStringLiteral("device"));
        OrderStore orders(db);
        orders.settleDue(m_config.now());
        const std::optional<Order> order = orders.byTradeNo(request.merchant.id, tradeNo);
        if (!order)
            throw Refusal(QStringLiteral("订单不存在：%1").arg(Replies::echo(tradeNo)));
        // The refund window unfolds for any order it is given, so only offer orders that can
        // still take a refund.
        if (!order->isPaid())
            throw Refusal(QStringLiteral("订单尚未支付，不能退款"));
        if (order->refunded >= order->totalFee)
            throw Refusal(QStringLiteral("该订单已全额退款"));
        const QJsonObject call{
            {QStringLiteral("msg"), QStringLiteral("查询成功")},
            {QStringLiteral("out_trade_no"), order->outTradeNo},
            {QStringLiteral("total_fee"), QString::number(order->totalFee)},
            {QStringLiteral("refunds"), QString::number(order->refunded)},
            {QStringLiteral("device_info"), order->deviceName},
            {QStringLiteral("transaction_id"), order->transactionId},
            {QStringLiteral("payt"), order->payt},
            {QStringLiteral("time_end"), TimeText::stamp(*order->paidAt)},
        };
        return QJsonObject{{QStringLiteral("call"), call}};
    });
}

void PaymentDesk::releaseHeldReplies()
{
    {
        std::lock_guard<std::mutex> lock(m_holdMutex);
        m_released = true;
    }
    m_holdEnded.notify_all();
}

void PaymentDesk::holdReply() const
{
    std::unique_lock<std::mutex> lock(m_holdMutex);
    m_holdEnded.wait_for(lock, std::chrono::milliseconds(m_config.slowReplyMs),
                         [this] { return m_released; });
}
