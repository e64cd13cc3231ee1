#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

#include <memory>

// A real HTTP server on 127.0.0.1 (an ephemeral port) that records every request and answers
// with a canned reply per path, or per path and a part of the body. A path without one is passed on to the
// service given to forwardTo(), or else gets {"path": ..., "body": ...} back.
class CaptureServer
{
public:
    struct Request
    {
        QString path;
        QByteArray body;
    };
    struct Reply
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        int delayMs = 0; // cut short when the server ends
    };

    CaptureServer();
    ~CaptureServer();

    QString url(const QString &path) const;
    void setReply(const QString &path, const Reply &reply, const QByteArray &bodyPart = {});
    void removeReply(const QString &path);
    void forwardTo(int port);
    // Every request so far, or those of one path.
    QVector<Request> requests(const QString &path = QString()) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
