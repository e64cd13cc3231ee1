#include "service/wxnetwork.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

constexpr char RequestIdProperty[] = "requestId";

// Qt sends a request again by itself when a connection drops before the answer. For a payment or
// a refund that the service may already have carried out, that is a second charge: a body that
// cannot be rewound makes such a resend fail instead, and the owner hears Failed.
class OneShotBody : public QIODevice
{
public:
    OneShotBody(const QByteArray &bytes, QObject *parent) : QIODevice(parent), m_Bytes(bytes)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override { return m_Bytes.size() - m_Read + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 count = qMin(maxSize, qint64(m_Bytes.size()) - m_Read);
        if (count <= 0)
            return -1;
        memcpy(data, m_Bytes.constData() + m_Read, size_t(count));
        m_Read += count;
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_Bytes;
    qint64 m_Read = 0;
};

// Ids are unique in the whole program, so that replies of several clients can share one handler.
quint64 nextRequestId()
{
    static quint64 last = 0;
    return ++last;
}

} // namespace

WxNetwork::WxNetwork() : WxNetwork(QString(), QString()) {}

WxNetwork::WxNetwork(const QString &url, const QString &body)
    : m_Manager(new QNetworkAccessManager(this)), m_Url(url), m_Body(body)
{
    qRegisterMetaType<QNetworkReply *>("QNetworkReply*");
    connect(m_Manager, &QNetworkAccessManager::finished, this, &WxNetwork::NetManageBack);
}

void WxNetwork::setUrl(const QString &url)
{
    m_Url = url;
}

void WxNetwork::setBody(const QString &body)
{
    m_Body = body;
}

void WxNetwork::setTimeout(int milliseconds)
{
    m_Timeout = milliseconds;
}

void WxNetwork::setLatestReplyOnly(bool latestOnly)
{
    m_LatestOnly = latestOnly;
}

quint64 WxNetwork::post()
{
    if (m_LatestOnly && m_Latest)
        m_Latest->abort();
    const QByteArray bytes = m_Body.toUtf8();
    QNetworkRequest request(QUrl(m_Url, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    request.setHeader(QNetworkRequest::ContentLengthHeader, bytes.size());
    request.setTransferTimeout(m_Timeout);
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    auto *body = new OneShotBody(bytes, this);
    m_Latest = m_Manager->post(request, body);
    connect(m_Latest, &QObject::destroyed, body, &QObject::deleteLater);
    const quint64 id = nextRequestId();
    m_Latest->setProperty(RequestIdProperty, id);
    return id;
}

quint64 WxNetwork::sendTo(const QString &url, const QString &body)
{
    setUrl(url);
    setBody(body);
    return post();
}

void WxNetwork::NetManageBack(QNetworkReply *reply)
{
    // Released once read: the client runs for weeks at the counter.
    reply->deleteLater();
    if (m_LatestOnly && reply != m_Latest)
        return;
    const quint64 id = reply->property(RequestIdProperty).toULongLong();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(reply->readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        emit Failed(id);
        return;
    }
    emit PostFinish(document.object());
    emit Replied(id, document.object());
}
