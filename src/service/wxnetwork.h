#pragma once

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>

// Posts a form body to the payment service and hands every reply that is a JSON object to its
// owner. Every post gets a request id, so that an owner with several requests out can tell which
// one a reply answers, and learns through Failed when one ends without a JSON object (refused,
// timed out, reset, an error page, an array, an empty body).
class WxNetwork : public QObject
{
    Q_OBJECT
public:
    // A connection that sends nothing for this long is abandoned.
    static constexpr int DefaultTimeoutMs = 30000;

    WxNetwork();
    WxNetwork(const QString &url, const QString &body);

    void setUrl(const QString &url);
    void setBody(const QString &body);
    void setTimeout(int milliseconds);
    // For views that show one answer at a time: a new post abandons the one still running, so
    // a slow earlier reply can never overwrite a newer one.
    void setLatestReplyOnly(bool latestOnly);
    quint64 post();
    quint64 sendTo(const QString &url, const QString &body);

signals:
    void PostFinish(QJsonObject obj);
    void Replied(quint64 id, QJsonObject obj);
    void Failed(quint64 id);

private:
    // A whole reply body, or nothing when the request ended without one.
    void finished(quint64 id, const QByteArray *body);

    QString m_Url;
    QString m_Body;
    int m_Timeout = DefaultTimeoutMs;
    bool m_LatestOnly = false;
    // The transfer still running, for setLatestReplyOnly.
    QPointer<QObject> m_Latest;
};
