#include "captureserver.h"
#include "rows.h"
#include "service/wxnetwork.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

struct Framing
{
    const char *tag;
    const char *reply;
    bool delivered;
};
Q_DECLARE_METATYPE(Framing)

namespace {

// A server that answers every request with the same bytes, as they are, and closes.
struct RawServer : QTcpServer
{
    explicit RawServer(const QByteArray &reply)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this, reply] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, reply] {
                socket->readAll();
                socket->write(reply);
                socket->disconnectFromHost();
            });
        });
    }
    QString url() const { return QString("http://127.0.0.1:%1/r").arg(serverPort()); }
};

} // namespace

class TestWxNetwork : public QObject
{
    Q_OBJECT

private slots:
    // Only a JSON object is handed on; anything else fails under the request's own id. (An array
    // and an error page meet the windows in tst_faults.)
    void handsOnOnlyJsonObjects_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("delivered");
        row("object", 200, QByteArray(R"({"call":{"msg":"支付成功"}})"), true);
        row("object with an error status", 500, QByteArray(R"({"msg":"x"})"), true);
        row("empty body", 200, QByteArray(), false);
        row("10 MB object", 200, "{\"big\":\"" + QByteArray(10 << 20, 'a') + "\"}", true);
        row("nested 100000 deep", 200, "{\"a\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + "}",
            false);
    }
    void handsOnOnlyJsonObjects()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, reply);
        QFETCH(bool, delivered);
        CaptureServer server;
        server.setReply("/r", {status, reply});
        WxNetwork network;
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        QSignalSpy replied(&network, &WxNetwork::Replied);
        QSignalSpy failed(&network, &WxNetwork::Failed);
        const quint64 other = network.sendTo(server.url("/other"), "a=0");
        const quint64 id = network.sendTo(server.url("/r"), "a=1");
        QTRY_COMPARE_WITH_TIMEOUT(replied.size() + failed.size(), 2, 10000);
        QCOMPARE(handed.size(), delivered ? 2 : 1);
        QSet<quint64> answered;
        for (const QList<QVariant> &signal : replied) {
            answered << signal.at(0).toULongLong();
            if (signal.at(0).toULongLong() == id)
                QCOMPARE(signal.at(1).toJsonObject(), QJsonDocument::fromJson(reply).object());
        }
        QCOMPARE(answered, delivered ? (QSet<quint64>{other, id}) : QSet<quint64>{other});
        QCOMPARE(failed.size() == 1 && failed.at(0).at(0).toULongLong() == id, !delivered);
    }

    // The records client hands on only its newest request's reply (an older page once emptied a
    // newer one); nothing a request needs outlives its answer, abandoned or not.
    void latestReplyOnly_data()
    {
        QTest::addColumn<bool>("latestOnly");
        QTest::addColumn<QStringList>("delivered");
        row("every reply, as they finish", false, QStringList{"/fast", "/slow"});
        row("only the newest request's", true, QStringList{"/fast"});
    }
    void latestReplyOnly()
    {
        QFETCH(bool, latestOnly);
        QFETCH(QStringList, delivered);
        CaptureServer server;
        server.setReply("/slow", {200, R"({"path":"/slow"})", "application/json", 800});
        WxNetwork network;
        network.setLatestReplyOnly(latestOnly);
        const int before = network.findChildren<QObject *>().size();
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        network.sendTo(server.url("/slow"), "n=1");
        QTRY_COMPARE(server.requests().size(), 1);
        network.sendTo(server.url("/fast"), "n=2");
        QTest::qWait(1500);
        QStringList paths;
        for (const QList<QVariant> &signal : handed)
            paths << signal.at(0).toJsonObject().value("path").toString();
        QCOMPARE(paths, delivered);
        QTRY_COMPARE(network.findChildren<QObject *>().size(), before);
    }

    // Headers and body leave in one write: sent in two without TCP_NODELAY, the body waited 40 ms
    // for the far end's delayed acknowledgement.
    void requestArrivesInOneSegment()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        QByteArray request;
        connect(&listener, &QTcpServer::newConnection, &listener, [&listener, &request] {
            QTcpSocket *socket = listener.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, &request] {
                if (request.isEmpty())
                    request = socket->readAll();
            });
        });
        WxNetwork network(
            QString("http://127.0.0.1:%1/index.php/Pay/Pays/getuser?x=1").arg(listener.serverPort()),
            "username=demo&password=demo123");
        network.post();
        QTRY_VERIFY_WITH_TIMEOUT(!request.isEmpty(), 5000);
        QVERIFY2(request.startsWith("POST /index.php/Pay/Pays/getuser?x=1 HTTP/1.1\r\n"),
                 request.constData());
        QVERIFY(
            request.contains("\r\nHost: 127.0.0.1:" + QByteArray::number(listener.serverPort()) + "\r\n"));
        QVERIFY2(request.endsWith("\r\n\r\nusername=demo&password=demo123"), request.constData());
    }

    // The ways a reply's body may be delimited, and replies cut short: each answers once.
    void readsEveryFraming_data()
    {
        static const Framing rows[] = {
            {"content length", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n{\"a\":\"1\"}", true},
            {"chunked",
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: "
             "chunked\r\n\r\n4;x=y\r\n{\"a\"\r\n5\r\n:\"1\"}\r\n0\r\nX-T: 1\r\n\r\n",
             true},
            {"until the close", "HTTP/1.0 200 OK\r\n\r\n{\"a\":\"1\"}", true},
            {"closed before the whole length", "HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n{\"a\":\"1\"}",
             false},
            {"closed inside a chunk",
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n20\r\n{\"a\":\"1\"}", false},
            {"not HTTP", "{\"a\":\"1\"}", false},
            {"nothing at all", "", false},
        };
        addRows(rows);
    }
    void readsEveryFraming()
    {
        QFETCH(Framing, row);
        RawServer server(row.reply);
        WxNetwork network(server.url(), "a=1");
        network.setTimeout(3000);
        QSignalSpy replied(&network, &WxNetwork::Replied);
        QSignalSpy failed(&network, &WxNetwork::Failed);
        const quint64 id = network.post();
        QTRY_COMPARE_WITH_TIMEOUT(replied.size() + failed.size(), 1, 5000);
        QCOMPARE(replied.size(), row.delivered ? 1 : 0);
        if (row.delivered) {
            QCOMPARE(replied.at(0).at(0).toULongLong(), id);
            QCOMPARE(replied.at(0).at(1).toJsonObject(), QJsonObject({{"a", "1"}}));
        }
        QTest::qWait(100);
        QCOMPARE(replied.size() + failed.size(), 1);
    }

    // No answer at all: a failure under the id, only once the caller holds it, and nothing handed
    // on. A silent server is given up after the time-out.
    void failsWithoutAnswer_data()
    {
        QTest::addColumn<QString>("url");
        row("refused connection", "closed");
        row("silent server", "silent");
    }
    void failsWithoutAnswer()
    {
        QFETCH(QString, url);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        if (url == "closed" || url == "silent") {
            const QString local = QString("http://127.0.0.1:%1/r").arg(server.serverPort());
            if (url == "closed")
                server.close();
            url = local;
        }
        WxNetwork network(url, "a=1");
        network.setTimeout(500);
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        QSignalSpy failed(&network, &WxNetwork::Failed);
        const quint64 id = network.post();
        QCOMPARE(failed.size(), 0);
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.at(0).at(0).toULongLong(), id);
        QCOMPARE(handed.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWxNetwork)
#include "tst_wxnetwork.moc"
