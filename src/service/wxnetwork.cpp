#include "service/wxnetwork.h"

#include <QJsonDocument>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <functional>

// The client speaks HTTP on plain sockets rather than through QNetworkAccessManager, for two
// reasons. Qt 5's HTTP client writes a POST's headers and then its body as two writes on a socket
// without TCP_NODELAY: Nagle's rule holds the body back until the headers are acknowledged, and
// the receiving end delays that acknowledgement (40 ms on Linux), so every request lost 40 ms.
// And it sends a request again by itself when a connection drops before the answer, which for a
// payment or a refund the service may already have carried out is a second charge. Here every
// request is one write (request line, headers and body together) on a socket with TCP_NODELAY, and
// a dropped connection is simply a failed request. Every request has a connection of its own
// (Connection: close): a few requests a minute need no pool of idle connections, and a pooled
// connection that the far end has closed meanwhile would be the very case that invites a resend.

namespace {

// Room for the 10 MB replies the client is tested with; anything far beyond is not the service.
constexpr qint64 MaxBodyBytes = 64 << 20;
constexpr int MaxHeadBytes = 64 << 10;

// Ids are unique in the whole program, so that replies of several clients can share one handler.
quint64 nextRequestId()
{
    static quint64 last = 0;
    return ++last;
}

// The request as it goes on the wire, in one piece.
QByteArray requestBytes(const QUrl &url, const QByteArray &body)
{
    QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/'))
        target.prepend('/');
    QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port() != -1)
        host += ':' + QByteArray::number(url.port());
    return "POST " + target + " HTTP/1.1\r\nHost: " + host +
           "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// One request on a connection of its own: connects, writes the request, reads the reply and calls
// its done function once, with the reply's body or with nullptr when it ended without a whole
// one, then deletes itself. Deleting it earlier abandons the request without a call.
class Transfer : public QObject
{
public:
    using Done = std::function<void(const QByteArray *body)>;

    Transfer(const QUrl &url, const QByteArray &body, int timeoutMs, QObject *parent)
        : QObject(parent), m_Request(requestBytes(url, body)), m_Url(url)
    {
        m_Idle.setSingleShot(true);
        m_Idle.setInterval(timeoutMs);
        connect(&m_Idle, &QTimer::timeout, this, [this] { finish(false); });
    }

    void start(Done done)
    {
        m_Done = std::move(done);
        const QString scheme = m_Url.scheme().toLower();
        const bool tls = scheme == QLatin1String("https");
        if (!m_Url.isValid() || m_Url.host().isEmpty() || (!tls && scheme != QLatin1String("http"))) {
            // Failed only once the caller holds the request id, as for any other failure.
            QTimer::singleShot(0, this, [this] { finish(false); });
            return;
        }
        if (m_Idle.interval() > 0)
            m_Idle.start();
        const quint16 port = quint16(m_Url.port(tls ? 443 : 80));
        if (tls) {
            // The default configuration: the system's trusted authorities. An SSL error is never
            // ignored, so the handshake fails and with it the request.
            auto *socket = new QSslSocket(this);
            m_Socket = socket;
            watch();
            connect(socket, &QSslSocket::encrypted, this, &Transfer::send);
            socket->connectToHostEncrypted(m_Url.host(), port);
        } else {
            m_Socket = new QTcpSocket(this);
            watch(); // low delay first, then the request
            connect(m_Socket, &QAbstractSocket::connected, this, &Transfer::send);
            m_Socket->connectToHost(m_Url.host(), port);
        }
    }

private:
    enum class Stage { Head, Length, ChunkSize, ChunkData, ChunkEnd, Trailer, UntilClose };
    enum class Step { Again, NeedMore, Complete, Broken };

    void watch()
    {
        connect(m_Socket, &QAbstractSocket::connected, this, [this] {
            m_Socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            progress();
        });
        connect(m_Socket, &QAbstractSocket::bytesWritten, this, &Transfer::progress);
        connect(m_Socket, &QAbstractSocket::readyRead, this, [this] {
            progress();
            receive();
        });
        connect(m_Socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
            ended(error == QAbstractSocket::RemoteHostClosedError);
        });
        connect(m_Socket, &QAbstractSocket::disconnected, this, [this] { ended(true); });
    }

    void progress()
    {
        if (m_Idle.isActive())
            m_Idle.start();
    }

    void send()
    {
        m_Socket->write(m_Request);
        m_Socket->flush();
    }

    void receive()
    {
        m_In += m_Socket->readAll();
        const Step step = parseAll();
        if (step != Step::NeedMore)
            finish(step == Step::Complete);
    }

    // The far end closed the connection (cleanly) or it broke: a reply that runs until the close is
    // complete now, any other one that is not complete yet never will be.
    void ended(bool closed)
    {
        if (m_Finished)
            return;
        m_In += m_Socket->readAll();
        const Step step = parseAll();
        finish(step == Step::Complete || (step == Step::NeedMore && closed && m_Stage == Stage::UntilClose));
    }

    // Every step that what has arrived allows.
    Step parseAll()
    {
        Step step = parse();
        while (step == Step::Again)
            step = parse();
        return step;
    }

    // One step through what has arrived, consuming it from m_In.
    Step parse()
    {
        switch (m_Stage) {
        case Stage::Head:
            return parseHead();
        case Stage::Length: {
            const int count = int(qMin(m_Remaining, qint64(m_In.size())));
            m_Body += m_In.left(count);
            m_In.remove(0, count);
            m_Remaining -= count;
            return m_Remaining == 0 ? Step::Complete : Step::NeedMore;
        }
        case Stage::ChunkSize: {
            const int end = m_In.indexOf("\r\n");
            if (end < 0)
                return m_In.size() > 1024 ? Step::Broken : Step::NeedMore;
            QByteArray line = m_In.left(end);
            m_In.remove(0, end + 2);
            const int extension = line.indexOf(';');
            if (extension >= 0)
                line.truncate(extension);
            line = line.trimmed();
            bool ok = false;
            m_Remaining = line.toLongLong(&ok, 16);
            if (!ok || line.isEmpty() || line.size() > 15 || m_Remaining < 0 ||
                m_Body.size() + m_Remaining > MaxBodyBytes)
                return Step::Broken;
            m_Stage = m_Remaining == 0 ? Stage::Trailer : Stage::ChunkData;
            return Step::Again;
        }
        case Stage::ChunkData: {
            const int count = int(qMin(m_Remaining, qint64(m_In.size())));
            m_Body += m_In.left(count);
            m_In.remove(0, count);
            m_Remaining -= count;
            if (m_Remaining > 0)
                return Step::NeedMore;
            m_Stage = Stage::ChunkEnd;
            return Step::Again;
        }
        case Stage::ChunkEnd:
            if (m_In.size() < 2)
                return Step::NeedMore;
            if (!m_In.startsWith("\r\n"))
                return Step::Broken;
            m_In.remove(0, 2);
            m_Stage = Stage::ChunkSize;
            return Step::Again;
        case Stage::Trailer: {
            const int end = m_In.indexOf("\r\n");
            if (end < 0)
                return m_In.size() > MaxHeadBytes ? Step::Broken : Step::NeedMore;
            m_In.remove(0, end + 2);
            return end == 0 ? Step::Complete : Step::Again;
        }
        case Stage::UntilClose:
            m_Body += m_In;
            m_In.clear();
            return m_Body.size() > MaxBodyBytes ? Step::Broken : Step::NeedMore;
        }
        return Step::Broken;
    }

    // The status line and the headers, which tell how the body is delimited.
    Step parseHead()
    {
        const int end = m_In.indexOf("\r\n\r\n");
        if (end < 0)
            return m_In.size() > MaxHeadBytes ? Step::Broken : Step::NeedMore;
        const QList<QByteArray> lines = m_In.left(end).split('\n');
        m_In.remove(0, end + 4);
        const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
        bool ok = false;
        const int status = statusLine.size() >= 2 ? statusLine.at(1).toInt(&ok) : 0;
        if (!statusLine.first().startsWith("HTTP/1.") || !ok || statusLine.at(1).size() != 3)
            return Step::Broken;
        qint64 length = -1;
        bool chunked = false;
        bool encoded = false;
        for (int i = 1; i < lines.size(); ++i) {
            const QByteArray &line = lines.at(i);
            const int colon = line.indexOf(':');
            if (colon <= 0)
                return Step::Broken;
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-length") {
                bool valid = !value.isEmpty();
                for (const char c : value)
                    valid = valid && c >= '0' && c <= '9';
                const qint64 parsed = valid && value.size() < 16 ? value.toLongLong() : -1;
                if (parsed < 0 || (length >= 0 && parsed != length))
                    return Step::Broken;
                length = parsed;
            } else if (name == "transfer-encoding") {
                encoded = true;
                chunked = value.toLower().split(',').last().trimmed() == "chunked";
            }
        }
        if (status >= 100 && status < 200) // an interim answer; the real one follows
            return Step::Again;
        if (status == 204 || status == 304)
            return Step::Complete;
        // A server error says nothing of the outcome, whatever its body says: the payment or
        // refund may have been made.
        if (status >= 500)
            return Step::Broken;
        if (chunked) {
            m_Stage = Stage::ChunkSize;
        } else if (length >= 0 && !encoded) {
            if (length > MaxBodyBytes)
                return Step::Broken;
            m_Body.reserve(int(length));
            m_Remaining = length;
            m_Stage = Stage::Length;
        } else {
            m_Stage = Stage::UntilClose;
        }
        return Step::Again;
    }

    // Ends the transfer: the connection is closed at once, the transfer released, and the done
    // function called last, since what it starts may well delete this transfer's owner.
    void finish(bool complete)
    {
        if (m_Finished)
            return;
        m_Finished = true;
        m_Idle.stop();
        if (m_Socket) {
            m_Socket->disconnect(this);
            m_Socket->abort();
        }
        deleteLater();
        const QByteArray body = std::move(m_Body);
        const Done done = std::move(m_Done);
        if (done)
            done(complete ? &body : nullptr);
    }

    const QByteArray m_Request;
    const QUrl m_Url;
    Done m_Done;
    QAbstractSocket *m_Socket = nullptr;
    QTimer m_Idle;
    QByteArray m_In;
    QByteArray m_Body;
    Stage m_Stage = Stage::Head;
    // Bytes still to come of the body (Length) or of the current chunk (ChunkData).
    qint64 m_Remaining = 0;
    bool m_Finished = false;
};

} // namespace

WxNetwork::WxNetwork() : WxNetwork(QString(), QString()) {}

WxNetwork::WxNetwork(const QString &url, const QString &body) : m_Url(url), m_Body(body) {}

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
    if (m_LatestOnly)
        delete m_Latest.data(); // closes its connection; its reply is never delivered
    const quint64 id = nextRequestId();
    auto *transfer = new Transfer(QUrl(m_Url, QUrl::TolerantMode), m_Body.toUtf8(), m_Timeout, this);
    m_Latest = transfer;
    transfer->start([this, id, transfer](const QByteArray *body) {
        if (m_Latest == transfer)
            m_Latest = nullptr;
        finished(id, body);
    });
    return id;
}

quint64 WxNetwork::sendTo(const QString &url, const QString &body)
{
    setUrl(url);
    setBody(body);
    return post();
}

void WxNetwork::finished(quint64 id, const QByteArray *body)
{
    QJsonParseError error;
    const QJsonDocument document = body ? QJsonDocument::fromJson(*body, &error) : QJsonDocument();
    if (!body || error.error != QJsonParseError::NoError || !document.isObject()) {
        emit Failed(id);
        return;
    }
    emit PostFinish(document.object());
    emit Replied(id, document.object());
}
