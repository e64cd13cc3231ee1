#include "captureserver.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <httplib.h>

#include <mutex>
#include <thread>

struct CaptureServer::Private
{
    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex mutex;
    QVector<Request> requests;
    QMap<QString, Reply> replies;

    void handle(const httplib::Request &in, httplib::Response &out)
    {
        Request request;
        request.path = QString::fromStdString(in.path);
        request.body = QByteArray::fromStdString(in.body);
        for (const auto &header : in.headers)
            request.headers.insert(QString::fromStdString(header.first).toLower(),
                                   QString::fromStdString(header.second));
        for (const auto &field : in.params)
            request.fields.insert(QString::fromStdString(field.first), QString::fromStdString(field.second));

        Reply reply;
        {
            std::lock_guard<std::mutex> lock(mutex);
            requests << request;
            reply = replies.value(
                request.path, Reply{200, QJsonDocument(QJsonObject{{"path", request.path},
                                                                   {"body", QString::fromUtf8(request.body)}})
                                             .toJson(QJsonDocument::Compact)});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
        out.status = reply.status;
        out.set_content(reply.body.toStdString(), reply.contentType.constData());
    }
};

CaptureServer::CaptureServer() : d(new Private)
{
    d->server.Post(".*", [this](const httplib::Request &in, httplib::Response &out) { d->handle(in, out); });
    d->port = d->server.bind_to_any_port("127.0.0.1");
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    // stop() is ignored until the accept loop runs, so wait for it before anyone can stop us.
    while (!d->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

CaptureServer::~CaptureServer()
{
    d->server.stop();
    d->thread.join();
}

QString CaptureServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(d->port).arg(path);
}

void CaptureServer::setReply(const QString &path, const Reply &reply)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->replies.insert(path, reply);
}

QVector<CaptureServer::Request> CaptureServer::requests() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->requests;
}
