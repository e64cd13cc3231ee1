#pragma once

#include <QByteArray>
#include <QMap>
#include <QMultiMap>
#include <QString>
#include <QVector>

#include <memory>

// A real HTTP server on 127.0.0.1 (an ephemeral port) that records every request and answers
// with a canned reply per path; a path without one gets {"path": ..., "body": ...} back.
class CaptureServer
{
public:
    struct Request
    {
        QString path;
        QByteArray body;
        QMap<QString, QString> headers;     // names in lower case
        QMultiMap<QString, QString> fields; // the form body as the server decodes it
    };
    struct Reply
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        int delayMs = 0;
    };

    CaptureServer();
    ~CaptureServer();

    QString url(const QString &path) const;
    void setReply(const QString &path, const Reply &reply);
    QVector<Request> requests() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
