#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

// A real HTTP server on 127.0.0.1 (an ephemeral port) that records every request and answers
// with a canned reply per path, or per path and a part of the body. A path without one is passed on to the
// service given to forwardTo(), or else gets {"path": ..., "body": ...} back.
class CaptureServer
{
public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        int delayMs = 0; // cut short when the server ends
    };
    // What becomes of a request: whether it reaches the service, and whether the client gets the
    // answer, another one, or a connection cut after the delay.
    struct Fate
    {
        bool forward = true;
        int delayMs = 0;
        bool cut = false;
        bool replaced = false;
        Reply reply; // when replaced
    };
    struct Request
    {
        QString path;
        QByteArray body;
        Fate fate;
        QByteArray answer; // the service's, when it was passed on
    };

    CaptureServer();
    ~CaptureServer();

    QString url(const QString &path) const;
    void setReply(const QString &path, const Reply &reply, const QByteArray &bodyPart = {});
    void forwardTo(int port);
    // An unreliable line to that service, asked per request without a canned reply.
    void setLine(std::function<Fate(const Request &)> line);
    // Every request so far, or those of one path.
    QVector<Request> requests(const QString &path = QString()) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
