#pragma once

#include <QString>

// What a scanned payment code says about itself: its channel and, for training, its scenario.
class PaymentCode
{
public:
    enum class Channel { Invalid, WeChat, Alipay };
    // Training scenarios chosen by the last four digits: 0000 waits for the customer's password,
    // 7777 is paid at once but answered late, 8888 waits for a password that never comes, 9999 is
    // declined for lack of funds, anything else is paid at once.
    enum class Scenario { PaidAtOnce, AwaitsPassword, SlowReply, NeverConfirmed, InsufficientFunds };

    explicit PaymentCode(const QString &code);

    // 18 digits; WeChat Pay codes begin 10-15, Alipay codes 25-30.
    Channel channel() const { return m_channel; }
    Scenario scenario() const;
    const QString &text() const { return m_code; }

private:
    QString m_code;
    Channel m_channel = Channel::Invalid;
};
