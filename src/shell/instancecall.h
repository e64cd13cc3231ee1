#pragma once

#include <QObject>

class QLocalServer;

// How a second start reaches the running instance: the instance that passed the guard listens on
// a local socket, and a start that the guard refused connects to it instead of ending unseen.
class InstanceCall : public QObject
{
    Q_OBJECT
public:
    explicit InstanceCall(const QString &name, QObject *parent = nullptr);

    // By the running instance; it holds the guard, so a socket left by a killed one is stale.
    bool listen();
    // By a start that the guard refused; true when the running instance took the call.
    bool callRunning() const;

signals:
    void called();

private:
    QString m_Name;
    QLocalServer *m_Server = nullptr;
};
