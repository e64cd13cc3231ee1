#include "paymentserver.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <csignal>
#include <httplib.h>
#include <sys/prctl.h>

void ChildProcess::setupChildProcess()
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

PaymentServer::PaymentServer(const QStringList &options) : m_Tls(options.contains("--tls-cert"))
{
    m_Process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_Process.start(PAYMENT_SERVER, QStringList{"--port", "0", "--db", databasePath()} + options);
    while (!m_Process.canReadLine() && m_Process.waitForReadyRead(20000)) {
    }
    const QRegularExpressionMatch match =
        QRegularExpression("^listening on [^:]+:(\\d+)").match(QString::fromUtf8(m_Process.readLine()));
    if (match.hasMatch())
        m_Port = match.captured(1).toInt();
}

PaymentServer::~PaymentServer()
{
    m_Process.terminate();
    if (!m_Process.waitForFinished(5000))
        m_Process.kill();
    m_Process.waitForFinished(5000);
}

QString PaymentServer::baseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(m_Tls ? "https" : "http").arg(m_Port);
}

void PaymentServer::kill()
{
    m_Process.kill();
    m_Process.waitForFinished(5000);
}

QJsonObject PaymentServer::post(const QString &path, const QString &fields) const
{
    const QString url =
        "/index.php/" + QString(path == "alirefunds" ? "pay" : "Pay") + "/Payinterface/" + path;
    const QString form = fields.contains("password=") ? fields : "username=demo&password=demo123&" + fields;
    httplib::Client client("127.0.0.1", m_Port);
    // Longer than the service's own wait for a busy database.
    client.set_read_timeout(std::chrono::seconds(15));
    const auto reply =
        client.Post(url.toStdString(), form.toStdString(), "application/x-www-form-urlencoded");
    const QByteArray body = reply ? QByteArray::fromStdString(reply->body) : QByteArray();
    return QJsonDocument::fromJson(body)[path == "mreport" ? "list" : "call"].toObject();
}

QString PaymentServer::paidOrder(const QString &path, const QString &code, const QString &price) const
{
    const QJsonObject call = post(path, "drive=1&codes=" + code + "&price=" + price);
    return call["msg"].toString() == QStringLiteral("支付成功") ? call["out_trade_no"].toString() : QString();
}
