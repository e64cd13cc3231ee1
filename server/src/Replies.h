#pragma once

#include "Accounts.h"
#include "OrderStore.h"

#include <QJsonObject>
#include <QString>
#include <exception>

// Where the client looks for a message differs per path, so a refusal is dressed in the shape the
// caller reads: the sign-in status, the device list, the statistics line of the records, or "call".
enum class ReplyShape { Login, Devices, User, Report, Call };

// Thrown by a handler to answer with a message instead of a result.
class Refusal : public std::exception
{
public:
    explicit Refusal(QString message) : m_message(std::move(message)) {}
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return "refused"; }

private:
    QString m_message;
};

namespace Replies {

inline const QString paid = QStringLiteral("支付成功");
inline const QString awaitingPassword = QStringLiteral("等待用户验证密码");
inline const QString refunded = QStringLiteral("退款成功");
inline const QString wrongCredentials = QStringLiteral("用户名或密码错误");

QJsonObject refusal(ReplyShape shape, const QString &message);

// A client's value as a message quotes it: shortened to 64 characters, so that a long input is not
// sent back whole.
QString echo(const QString &input);

// The "call" of a payment or query: what the pay window shows and the receipt prints.
QJsonObject paymentCall(const Order &order, const Merchant &merchant, const QString &message);

} // namespace Replies
