#pragma once

#include <QJsonObject>
#include <QPair>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>

namespace httplib {
class Client;
}

using Fields = QList<QPair<QString, QString>>;

struct Summary
{
    int count = -1;
    qint64 fen = -1;
};

// "支付81笔，合计19829.90元，..." or "退款3笔，合计4.25元": the count and the first sum.
inline Summary parseSummary(const QString &tongji)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^(?:支付|退款)(\\d+)笔，合计(\\d+)\\.(\\d\\d)元")).match(tongji);
    if (!match.hasMatch())
        return Summary();
    return Summary{match.captured(1).toInt(),
                   match.captured(2).toLongLong() * 100 + match.captured(3).toInt()};
}

// The real payment-server executable on an ephemeral port, stopped with SIGTERM when destroyed.
class TestServer
{
public:
    // Starts on a database in a private temporary folder unless `database` names one.
    explicit TestServer(const QStringList &extraArguments = {}, const QString &database = QString());
    ~TestServer();

    bool isRunning() const { return m_port > 0; }
    int port() const { return m_port; }
    QString databasePath() const { return m_database; }
    // Stops the process and returns its exit code.
    int stop();

    // Posts a body exactly as given (like the client, nothing is encoded) and parses the reply.
    // A reply that is not a JSON object gives an empty object; the HTTP status goes to *status.
    QJsonObject postRaw(const std::string &path, const std::string &body, int *status = nullptr) const;
    // Posts the demo account's credentials followed by the fields, joined the way the client joins them.
    QJsonObject post(const std::string &path, const Fields &fields) const;

    // The payment-server executable of this build.
    static QString executable() { return QStringLiteral(PAYMENT_SERVER_PATH); }

    static inline const std::string payInterface = "/index.php/Pay/Payinterface/";

private:
    QTemporaryDir m_dir;
    QString m_database;
    QProcess m_process;
    int m_port = 0;
};

// A few shared facts of the seeded demo account.
namespace Demo {
inline const QString frontDevice = QStringLiteral("1_前台");
inline const QString secondDevice = QStringLiteral("2_收银台2");
QString today();
QString daysAgo(int days);
} // namespace Demo
