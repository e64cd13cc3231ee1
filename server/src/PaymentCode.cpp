#include "PaymentCode.h"

PaymentCode::PaymentCode(const QString &code) : m_code(code)
{
    if (code.size() != 18)
        return;
    for (const QChar c : code) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return;
    }
    const int prefix = code.leftRef(2).toInt();
    if (prefix >= 10 && prefix <= 15)
        m_channel = Channel::WeChat;
    else if (prefix >= 25 && prefix <= 30)
        m_channel = Channel::Alipay;
}

PaymentCode::Scenario PaymentCode::scenario() const
{
    if (m_code.endsWith(QLatin1String("0000")))
        return Scenario::AwaitsPassword;
    if (m_code.endsWith(QLatin1String("7777")))
        return Scenario::SlowReply;
    if (m_code.endsWith(QLatin1String("8888")))
        return Scenario::NeverConfirmed;
    if (m_code.endsWith(QLatin1String("9999")))
        return Scenario::InsufficientFunds;
    return Scenario::PaidAtOnce;
}
