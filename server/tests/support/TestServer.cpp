#include "TestServer.h"

#include <QDate>
#include <QJsonDocument>
#include <QRegularExpression>
#include <httplib.h>

TestServer::TestServer(const QStringList &extraArguments, const QString &database)
    : m_database(database.isEmpty() ? m_dir.filePath(QStringLiteral("payment.db")) : database)
{
    QStringList arguments{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"), m_database};
    arguments += extraArguments;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(TestServer::executable(), arguments);
    if (!m_process.waitForStarted(5000))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
    }
    const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)$")).match(line);
    if (match.hasMatch())
        m_port = match.captured(1).toInt();
}

TestServer::~TestServer()
{
    stop();
}

int TestServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitCode();
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_port = 0;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QJsonObject TestServer::postRaw(const std::string &path, const std::string &body, int *status) const
{
    httplib::Client client("127.0.0.1", m_port);
    client.set_read_timeout(30, 0);
    const auto reply = client.Post(path.c_str(), body, "application/x-www-form-urlencoded");
    if (status)
        *status = reply ? reply->status : -1;
    if (!reply)
        return QJsonObject();
    return QJsonDocument::fromJson(QByteArray::fromStdString(reply->body)).object();
}

QJsonObject TestServer::post(const std::string &path, const Fields &fields) const
{
    QString body = QStringLiteral("username=demo&password=demo123");
    for (const auto &field : fields)
        body += QLatin1Char('&') + field.first + QLatin1Char('=') + field.second;
    return postRaw(path, body.toUtf8().toStdString());
}

namespace Demo {

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy/M/d"));
}

QString daysAgo(int days)
{
    return QDate::currentDate().addDays(-days).toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace Demo
