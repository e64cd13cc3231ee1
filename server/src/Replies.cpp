#include "Replies.h"

#include "TimeText.h"

namespace Replies {

QJsonObject refusal(ReplyShape shape, const QString &message)
{
    QJsonObject reply{{QStringLiteral("msg"), message}};
    switch (shape) {
    case ReplyShape::Login:
        reply.insert(QStringLiteral("status"), QJsonObject{{QStringLiteral("login"), QStringLiteral("0")}});
        break;
    case ReplyShape::Devices:
        reply.insert(QStringLiteral("devices"), QJsonObject());
        break;
    case ReplyShape::User:
        break;
    case ReplyShape::Report: {
        const QJsonObject page{{QStringLiteral("np"), -1}, {QStringLiteral("pmax"), 0}};
        const QJsonObject total{{QStringLiteral("tongji"), message}};
        reply.insert(QStringLiteral("list"),
                     QJsonObject{{QStringLiteral("page"), page}, {QStringLiteral("total"), total}});
        break;
    }
    case ReplyShape::Call:
        reply.insert(QStringLiteral("call"), QJsonObject{{QStringLiteral("msg"), message},
                                                         {QStringLiteral("out_trade_no"), QString()}});
        break;
    }
    return reply;
}

QString echo(const QString &input)
{
    constexpr int longest = 64;
    if (input.size() <= longest)
        return input;
    const int kept = input.at(longest - 2).isHighSurrogate() ? longest - 2 : longest - 1;
    return input.left(kept) + QChar(0x2026);
}

QJsonObject paymentCall(const Order &order, const Merchant &merchant, const QString &message)
{
    return QJsonObject{
        {QStringLiteral("msg"), message},
        {QStringLiteral("out_trade_no"), order.outTradeNo},
        {QStringLiteral("transaction_id"), order.transactionId},
        {QStringLiteral("payt"), order.payt},
        {QStringLiteral("time_end"), order.paidAt ? TimeText::stamp(*order.paidAt) : QString()},
        {QStringLiteral("total_fee"), QString::number(order.totalFee)},
        {QStringLiteral("device_info"), order.deviceName},
        {QStringLiteral("mchname"), merchant.title},
        {QStringLiteral("mchid"), merchant.mchid},
    };
}

} // namespace Replies
