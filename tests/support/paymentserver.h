#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A child process that ends with the test that started it, even when the test crashes: an orphaned
// service would keep the test's output open and CTest waiting until its time-out.
class ChildProcess : public QProcess
{
protected:
    void setupChildProcess() override;
};

// The local payment service, started as a real process on a free port with a fresh database.
class PaymentServer
{
public:
    explicit PaymentServer(const QStringList &options = {});
    ~PaymentServer();

    bool isRunning() const { return m_Port != 0; }
    int port() const { return m_Port; }
    QString baseUrl() const;
    QString databasePath() const { return m_Dir.filePath("payment.db"); }
    // Ends the service at once, as a crash or a pulled cable would, mid-request.
    void kill();
    // The part of the service's answer a till reads ("list" of the records, else "call"; {} for none)
    // to the form fields, sent after the demo account's credentials unless they bring a password.
    // One path is spelled with a lower-case "pay", as the till does.
    QJsonObject post(const QString &path, const QString &fields) const;
    // The trade number of a sale of the demo account at the first till, empty when it is not paid.
    QString paidOrder(const QString &path, const QString &code, const QString &price) const;

private:
    QTemporaryDir m_Dir;
    ChildProcess m_Process;
    int m_Port = 0;
    bool m_Tls;
};
