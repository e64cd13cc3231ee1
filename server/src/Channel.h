#pragma once

#include <QString>

// The two payment channels as the paths and the "payt" value name them.
enum class Channel { WeChat, Alipay };

inline QString payt(Channel channel)
{
    return channel == Channel::WeChat ? QStringLiteral("Kesto") : QStringLiteral("AliPay");
}

inline QString channelName(Channel channel)
{
    return channel == Channel::WeChat ? QStringLiteral("微信支付") : QStringLiteral("支付宝");
}
