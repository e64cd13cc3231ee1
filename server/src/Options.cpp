#include "Options.h"

namespace {

bool toNumber(const QString &text, int minimum, int maximum, int &out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < minimum || value > maximum)
        return false;
    out = value;
    return true;
}

} // namespace

QString Options::parse(const QStringList &arguments)
{
    for (int i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        QString value;
        bool hasValue = false;
        const int eq = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            hasValue = true;
        }
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            help = true;
            continue;
        }
        const QStringList texts{QStringLiteral("--host"), QStringLiteral("--db"),
                                QStringLiteral("--tls-cert"), QStringLiteral("--tls-key"),
                                QStringLiteral("--set-password")};
        const QStringList numbers{QStringLiteral("--port"), QStringLiteral("--client-version"),
                                  QStringLiteral("--confirm-delay"), QStringLiteral("--slow-reply")};
        if (!texts.contains(name) && !numbers.contains(name))
            return QStringLiteral("unknown option: %1").arg(arguments[i]);
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                return QStringLiteral("%1 needs a value").arg(name);
            value = arguments[++i];
        }
        QString *const text[] = {&host, &database, &tlsCertificate, &tlsKey, &setPasswordFor};
        if (texts.contains(name)) {
            // An empty path would quietly mean the default, or plain HTTP.
            if (value.isEmpty())
                return QStringLiteral("%1 needs a value").arg(name);
            *text[texts.indexOf(name)] = value;
        } else if (name == QLatin1String("--port")) {
            if (!toNumber(value, 0, 65535, port))
                return QStringLiteral("--port must be 0 to 65535, not %1").arg(value);
        } else if (name == QLatin1String("--client-version")) {
            if (!toNumber(value, 0, 2147483647, clientVersion))
                return QStringLiteral("--client-version must be a whole number of 0 or more, not %1")
                    .arg(value);
        } else if (name == QLatin1String("--confirm-delay")) {
            if (!toNumber(value, 0, 86400, confirmDelaySeconds))
                return QStringLiteral("--confirm-delay must be 0 to 86400 seconds, not %1").arg(value);
        } else if (!toNumber(value, 0, 86400, slowReplySeconds)) {
            return QStringLiteral("--slow-reply must be 0 to 86400 seconds, not %1").arg(value);
        }
    }
    if (tlsCertificate.isEmpty() != tlsKey.isEmpty())
        return QStringLiteral("--tls-cert and --tls-key go together");
    return QString();
}

QString Options::helpText()
{
    return QStringLiteral(
        "Usage: payment-server [options]\n"
        "Local stand-in for the payment service of the cashier client.\n"
        "\n"
        "Options:\n"
        "  --host HOST            address to listen on (default 127.0.0.1)\n"
        "  --port N               port to listen on (default 8080; 0 picks a free port)\n"
        "  --db PATH              SQLite database file (default data/payment.db beside the program);\n"
        "                         a new file is seeded with the demo account and a month of records\n"
        "  --client-version N     newest client version reported by getuser (default 0: no update)\n"
        "  --confirm-delay SECS   seconds until a payment that waits for the customer's password\n"
        "                         becomes paid (default 5)\n"
        "  --slow-reply SECS      seconds the reply to a payment whose code ends in 7777 is held back\n"
        "                         (default 3)\n"
        "  --tls-cert PEM         serve HTTPS with this certificate (chain) ...\n"
        "  --tls-key PEM          ... and its private key; both or neither\n"
        "  --set-password USER    read USER's new password from standard input, store it in the\n"
        "                         database and exit; a new USER becomes a merchant with one device\n"
        "  --help                 show this text\n"
        "\n"
        "The first line on standard output is \"listening on HOST:PORT\" with the real port.\n"
        "\n"
        "Demo account: demo / demo123 on a fresh database (change it with --set-password), merchant "
        "\"演示商户\" (user id 10001).\n"
        "Devices: id 1 \"前台\" and id 2 \"收银台2\" (the client sends them as 1_前台 and 2_收银台2).\n"
        "\n"
        "Payment codes are 18 digits: WeChat Pay codes begin with 10 to 15, Alipay codes with 25 to 30.\n"
        "Each code pays once. Training scenarios by the last four digits:\n"
        "  ...0000  \"等待用户验证密码\": the customer must confirm; the payment becomes paid\n"
        "           --confirm-delay seconds later (ask again with wxQuery / AliQuery, F12 in the client)\n"
        "  ...7777  \"支付成功\": paid at once, but the reply comes --slow-reply seconds later\n"
        "  ...8888  \"等待用户验证密码\" like 0000, but the customer never confirms: it never becomes paid\n"
        "  ...9999  fails with \"余额不足\" (the code stays unused)\n"
        "  other    \"支付成功\" at once\n"
        "Example codes: WeChat Pay 134567890123456789, Alipay 284567890123456789.\n");
}
