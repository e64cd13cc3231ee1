#include "service/wxnetwork.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

constexpr char RequestIdProperty[] = "requestId";

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
    m_Latest = m_Manager->post(request, bytes);
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
