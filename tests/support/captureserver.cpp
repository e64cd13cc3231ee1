#include "captureserver.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <httplib.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <tuple>

struct CaptureServer::Private
{
    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex mutex;
    std::condition_variable stopping;
    bool stopped = false;
    QVector<Request> requests;
    // Path and body part; the newest match answers.
    QVector<std::tuple<QString, QByteArray, Reply>> replies;
    int forwardPort = 0;
    std::function<Fate(const Request &)> line = [](const Request &) { return Fate(); };

    void handle(const httplib::Request &in, httplib::Response &out)
    {
        Request request{QString::fromStdString(in.path), QByteArray::fromStdString(in.body)};
        std::unique_lock<std::mutex> lock(mutex);
        const QJsonObject echo{{"path", request.path}, {"body", QString::fromUtf8(request.body)}};
        Reply reply{200, QJsonDocument(echo).toJson(QJsonDocument::Compact)};
        const auto canned = std::find_if(replies.rbegin(), replies.rend(), [&request](const auto &r) {
            return std::get<0>(r) == request.path && request.body.contains(std::get<1>(r));
        });
        Fate fate{false, 0, false, true, reply};
        if (canned != replies.rend())
            fate.reply = std::get<2>(*canned);
        else if (forwardPort)
            fate = line(request);
        request.fate = fate;
        requests << request;
        if (fate.forward) {
            const int port = forwardPort, index = requests.size() - 1;
            lock.unlock();
            // A service that is gone answers nothing the client could read.
            const auto answer = httplib::Client("127.0.0.1", port)
                                    .Post(in.path, in.body, "application/x-www-form-urlencoded");
            lock.lock();
            reply = answer ? Reply{answer->status, QByteArray::fromStdString(answer->body)} : Reply{502, {}};
            requests[index].answer = reply.body;
        }
        if (fate.replaced)
            reply = fate.reply;
        stopping.wait_for(lock, std::chrono::milliseconds(fate.delayMs + reply.delayMs),
                          [this] { return stopped; });
        // Headers promising a body that never comes: the client sees the connection cut.
        if (fate.cut)
            return out.set_content_provider(1, "text/plain",
                                            [](size_t, size_t, httplib::DataSink &) { return false; });
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
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopped = true;
    }
    d->stopping.notify_all();
    d->server.stop();
    d->thread.join();
}

QString CaptureServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(d->port).arg(path);
}

void CaptureServer::setReply(const QString &path, const Reply &reply, const QByteArray &bodyPart)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->replies.append({path, bodyPart, reply});
}

void CaptureServer::forwardTo(int port)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->forwardPort = port;
}

void CaptureServer::setLine(std::function<Fate(const Request &)> line)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->line = std::move(line);
}

QVector<CaptureServer::Request> CaptureServer::requests(const QString &path) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    QVector<Request> found;
    std::copy_if(d->requests.begin(), d->requests.end(), std::back_inserter(found),
                 [&path](const Request &request) { return path.isNull() || request.path == path; });
    return found;
}
