#include "captureserver.h"
#include "rows.h"
#include "service/wxnetwork.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

struct Answer
{
    const char *tag;
    const char *reply; // the whole reply as it comes, or none: a server that never answers
    bool delivered;
};
Q_DECLARE_METATYPE(Answer)

namespace {

// Answers every request with the same bytes and closes, or never answers; keeps a request's latest read.
struct RawServer : QTcpServer
{
    explicit RawServer(const char *reply)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this, reply] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, reply] {
                request = socket->readAll();
                if (reply) {
                    socket->write(reply);
                    socket->disconnectFromHost();
                }
            });
        });
    }
    QString url() const { return QString("http://127.0.0.1:%1/r").arg(serverPort()); }
    QByteArray request;
};

} // namespace

class TestWxNetwork : public QObject
{
    Q_OBJECT

private slots:
    // Each kind of answer, with another request out on the same client: only a JSON object is handed
    // on, whatever its framing, anything else fails, and so does a server error, whatever it says
    // (the payment may have been made): each under its request's id and only once. (An array and an
    // error page meet the windows in the random day, tst_busyday.)
    void answersEachRequestOnce_data()
    {
        static const Answer rows[] = {
            {"chunked",
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
             "4;x=y\r\n{\"a\"\r\n5\r\n:\"1\"}\r\n0\r\nX-T: 1\r\n\r\n",
             true},
            {"server error", "HTTP/1.1 500 Error\r\nContent-Length: 9\r\n\r\n{\"a\":\"1\"}", false},
            {"empty body", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false},
            {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n{\"a\":\"1\"}", false},
            {"not HTTP", "{\"a\":\"1\"}", false},
            {"no answer", nullptr, false},
        };
        addRows(rows);
    }
    void answersEachRequestOnce()
    {
        QFETCH(Answer, row);
        CaptureServer other;
        RawServer server(row.reply);
        WxNetwork network;
        network.setTimeout(500);
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        QSignalSpy replied(&network, &WxNetwork::Replied);
        QSignalSpy failed(&network, &WxNetwork::Failed);
        const quint64 first = network.sendTo(other.url("/other"), "a=0");
        network.sendTo(server.url() + "?x=1", "a=1");
        QTRY_COMPARE_WITH_TIMEOUT(replied.size() + failed.size(), 2, 5000);
        QTest::qWait(100);
        QStringList answers; // by request, the first one 0
        for (const QList<QVariant> &signal : replied)
            answers << QString::number(signal[0].toULongLong() - first) + " " +
                           QJsonDocument(signal[1].toJsonObject()).toJson(QJsonDocument::Compact);
        for (const QList<QVariant> &signal : failed)
            answers << QString::number(signal[0].toULongLong() - first) + " failed";
        answers.sort();
        QCOMPARE(answers, (QStringList{R"(0 {"body":"a=0","path":"/other"})",
                                       row.delivered ? R"(1 {"a":"1"})" : "1 failed"}));
        QCOMPARE(handed.size(), replied.size());
        // Headers and body come in one read, on a socket without delay (as the slow request's below):
        // sent in two writes without TCP_NODELAY, the body waited 40 ms for the delayed acknowledgement.
        const QByteArray start =
            "POST /r?x=1 HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(server.serverPort());
        QVERIFY2(server.request.startsWith(start + "\r\n") && server.request.endsWith("\r\n\r\na=1"),
                 server.request.constData());
    }

    // The records client hands on only its newest request's reply (an older page once emptied a
    // newer one); nothing a request needs outlives its answer, abandoned or not.
    void latestReplyOnly()
    {
        CaptureServer server;
        server.setReply("/slow", {200, R"({"path":"/slow"})", "application/json", 800});
        WxNetwork network;
        network.setLatestReplyOnly(true);
        const int before = network.findChildren<QObject *>().size();
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        network.sendTo(server.url("/slow"), "n=1");
        QTRY_COMPARE(server.requests().size(), 1);
        QTcpSocket *socket = network.findChild<QTcpSocket *>();
        QVERIFY(socket && socket->socketOption(QAbstractSocket::LowDelayOption) == 1);
        network.sendTo(server.url("/fast"), "n=2");
        QTest::qWait(1500);
        QCOMPARE(handed.size(), 1);
        QCOMPARE(handed[0][0].toJsonObject()["path"].toString(), QStringLiteral("/fast"));
        QTRY_COMPARE(network.findChildren<QObject *>().size(), before);
    }
};

QTEST_GUILESS_MAIN(TestWxNetwork)
#include "tst_wxnetwork.moc"
