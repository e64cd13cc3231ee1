#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The local payment service, started as a real process on a free port with a fresh database.
class PaymentServer
{
public:
    explicit PaymentServer(const QStringList &options = {});
    ~PaymentServer();

    bool isRunning() const { return m_Port != 0; }
    QString baseUrl() const;
    // Ends the service at once, as a crash or a pulled cable would, mid-request.
    void kill();

private:
    QTemporaryDir m_Dir;
    QProcess m_Process;
    int m_Port = 0;
    bool m_Tls;
};
