#include "shell/instancecall.h"

#include "platform/platformintegration.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {

const QByteArray Request = "show\n";

} // namespace

InstanceCall::InstanceCall(const QString &name, QObject *parent) : QObject(parent), m_Name(name) {}

bool InstanceCall::listen()
{
    if (!m_Server) {
        m_Server = new QLocalServer(this);
        connect(m_Server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *socket = m_Server->nextPendingConnection()) {
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                    if (!socket->canReadLine())
                        return;
                    const bool show = socket->readLine() == Request;
                    socket->disconnectFromServer();
                    if (show)
                        emit called();
                });
            }
        });
    }
    QLocalServer::removeServer(m_Name);
    return m_Server->listen(m_Name);
}

bool InstanceCall::callRunning() const
{
    PlatformIntegration::instance().yieldForeground();
    QLocalSocket socket;
    socket.connectToServer(m_Name);
    if (!socket.waitForConnected(3000))
        return false;
    socket.write(Request);
    // The running instance hangs up once it has the request.
    return socket.waitForBytesWritten(3000) &&
           (socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(3000));
}
