#include "captureserver.h"
#include "service/wxnetwork.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

class TestWxNetwork : public QObject
{
    Q_OBJECT

private slots:
    void sendsBodyAndHeadersAsGiven_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("length");
        QTest::newRow("ascii") << "username=demo&password=demo123" << 30;
        QTest::newRow("chinese counts three bytes each") << "device=1_%E5%89%8D&title=前台" << 31;
        QTest::newRow("empty") << "" << 0;
    }
    void sendsBodyAndHeadersAsGiven()
    {
        QFETCH(QString, body);
        QFETCH(int, length);
        CaptureServer server;
        WxNetwork network(server.url("/index.php/Pay/Pays/getuser"), body);
        QSignalSpy delivered(&network, &WxNetwork::PostFinish);
        network.post();
        QVERIFY(delivered.wait(5000));

        const QVector<CaptureServer::Request> requests = server.requests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].path, QString("/index.php/Pay/Pays/getuser"));
        QCOMPARE(requests[0].body, body.toUtf8());
        QCOMPARE(requests[0].headers.value("content-type"), QString("application/x-www-form-urlencoded"));
        QCOMPARE(requests[0].headers.value("content-length").toInt(), length);
    }

    void handsOnOnlyJsonObjects_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("delivered");
        QTest::newRow("object") << 200 << QByteArray(R"({"call":{"msg":"支付成功"}})") << true;
        QTest::newRow("empty object") << 200 << QByteArray("{}") << true;
        QTest::newRow("object with an error status") << 500 << QByteArray(R"({"msg":"x"})") << true;
        QTest::newRow("array") << 200 << QByteArray(R"([{"msg":"x"}])") << false;
        QTest::newRow("scalar") << 200 << QByteArray("1") << false;
        QTest::newRow("empty body") << 200 << QByteArray() << false;
        QTest::newRow("html error page")
            << 502 << QByteArray("<html><body><h1>502 Bad Gateway</h1></body></html>") << false;
        QTest::newRow("object with trailing garbage") << 200 << QByteArray(R"({"a":"1"} x)") << false;
        QTest::newRow("10 MB object")
            << 200 << QByteArray(R"({"big":")") + QByteArray(10 << 20, 'a') + QByteArray(R"("})") << true;
        QTest::newRow("10 MB of noise") << 200 << QByteArray(10 << 20, '{') << false;
        QTest::newRow("nested 100000 deep")
            << 200 << QByteArray(100000, '[').prepend("{\"a\":") + QByteArray(100000, ']') + "}" << false;
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
        network.sendTo(server.url("/other"), "a=0");
        const quint64 id = network.sendTo(server.url("/r"), "a=1");
        QTRY_COMPARE_WITH_TIMEOUT(replied.size() + failed.size(), 2, 10000);
        QCOMPARE(handed.size(), delivered ? 2 : 1);
        // Each request is answered exactly once, under its own id.
        const auto answer = std::find_if(replied.begin(), replied.end(), [id](const QList<QVariant> &s) {
            return s.at(0).toULongLong() == id;
        });
        QCOMPARE(answer != replied.end(), delivered);
        QCOMPARE(failed.size() == 1 && failed.at(0).at(0).toULongLong() == id, !delivered);
        if (delivered)
            QCOMPARE(answer->at(1).toJsonObject(), QJsonDocument::fromJson(reply).object());
    }

    void twoRequestsInFlightAnswerSeparately()
    {
        CaptureServer server;
        WxNetwork network;
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        network.sendTo(server.url("/first"), "n=1");
        network.setUrl(server.url("/second"));
        network.setBody("n=2");
        network.post();
        // Changing the client after posting leaves requests already sent alone.
        network.setBody("n=3");
        QTRY_COMPARE_WITH_TIMEOUT(handed.size(), 2, 5000);

        QSet<QString> seen;
        for (const QList<QVariant> &signal : handed) {
            const QJsonObject obj = signal.at(0).toJsonObject();
            seen << obj.value("path").toString() + "?" + obj.value("body").toString();
        }
        QCOMPARE(seen, (QSet<QString>{"/first?n=1", "/second?n=2"}));
    }

    void latestReplyOnly_data()
    {
        QTest::addColumn<bool>("latestOnly");
        QTest::addColumn<QStringList>("delivered");
        QTest::newRow("every reply, in the order they finish") << false << QStringList{"/fast", "/slow"};
        QTest::newRow("only the newest request's reply") << true << QStringList{"/fast"};
    }
    void latestReplyOnly()
    {
        QFETCH(bool, latestOnly);
        QFETCH(QStringList, delivered);
        CaptureServer server;
        server.setReply("/slow", {200, R"({"path":"/slow"})", "application/json", 800});
        WxNetwork network;
        network.setLatestReplyOnly(latestOnly);
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        network.sendTo(server.url("/slow"), "n=1");
        QTRY_COMPARE(server.requests().size(), 1);
        network.sendTo(server.url("/fast"), "n=2");
        QTest::qWait(1500);
        QStringList paths;
        for (const QList<QVariant> &signal : handed)
            paths << signal.at(0).toJsonObject().value("path").toString();
        QCOMPARE(paths, delivered);
    }

    // Nothing a request needs (connection, timer, buffers) outlives its answer: the client runs
    // for weeks at the counter.
    void requestsAreReleased_data()
    {
        QTest::addColumn<bool>("latestOnly");
        QTest::addColumn<int>("answers");
        QTest::newRow("every request answered") << false << 50;
        QTest::newRow("earlier requests abandoned") << true << 1;
    }
    void requestsAreReleased()
    {
        QFETCH(bool, latestOnly);
        QFETCH(int, answers);
        CaptureServer server;
        WxNetwork network;
        network.setLatestReplyOnly(latestOnly);
        const int before = network.findChildren<QObject *>().size();
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        for (int i = 0; i < 50; ++i)
            network.sendTo(server.url("/r"), QString("i=%1").arg(i));
        QVERIFY(network.findChildren<QObject *>().size() > before);
        QTRY_COMPARE_WITH_TIMEOUT(handed.size(), answers, 10000);
        QTRY_COMPARE(network.findChildren<QObject *>().size(), before);
    }

    // Headers and body leave in one piece, so the far end holds the whole request without
    // having to acknowledge the headers first.
    void requestArrivesInOneSegment()
    {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        WxNetwork network(
            QString("http://127.0.0.1:%1/index.php/Pay/Pays/getuser?x=1").arg(listener.serverPort()),
            "username=demo&password=demo123");
        network.setTimeout(2000);
        QSignalSpy failed(&network, &WxNetwork::Failed);
        // What the first readiness brings: a request sent in two writes without TCP_NODELAY
        // leaves its body behind for about 40 ms.
        QByteArray request;
        connect(&listener, &QTcpServer::newConnection, &listener, [&listener, &request] {
            QTcpSocket *socket = listener.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, &request] {
                if (!request.isEmpty())
                    return;
                request = socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n[]");
            });
        });
        const quint64 id = network.post();
        QTRY_VERIFY_WITH_TIMEOUT(!request.isEmpty(), 5000);
        QVERIFY2(request.startsWith("POST /index.php/Pay/Pays/getuser?x=1 HTTP/1.1\r\n"),
                 request.constData());
        QVERIFY2(request.contains(QByteArray("\r\nHost: 127.0.0.1:") +
                                  QByteArray::number(listener.serverPort()) + "\r\n"),
                 request.constData());
        QVERIFY2(request.endsWith("\r\n\r\nusername=demo&password=demo123"), request.constData());
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
        QCOMPARE(failed.at(0).at(0).toULongLong(), id);
    }

    // The ways a reply's body may be delimited, and replies cut short.
    void readsEveryFraming_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("delivered");
        QTest::newRow("content length")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n{\"a\":\"1\"}") << true;
        QTest::newRow("chunked")
            << QByteArray(
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4;x=y\r\n{\"a\"\r\n5\r\n:\"1\"}\r\n"
                   "0\r\nX-Trailer: 1\r\n\r\n")
            << true;
        QTest::newRow("until the close") << QByteArray("HTTP/1.0 200 OK\r\n\r\n{\"a\":\"1\"}") << true;
        QTest::newRow("interim answer first")
            << QByteArray(
                   "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n{\"a\":\"1\"}")
            << true;
        QTest::newRow("closed before the whole length")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n{\"a\":\"1\"}") << false;
        QTest::newRow("closed inside a chunk")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n20\r\n{\"a\":\"1\"}")
            << false;
        QTest::newRow("chunk size not a number")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n{}\r\n0\r\n\r\n")
            << false;
        QTest::newRow("closed inside the headers") << QByteArray("HTTP/1.1 200 OK\r\nContent-Le") << false;
        QTest::newRow("not HTTP") << QByteArray("{\"a\":\"1\"}") << false;
        QTest::newRow("contradicting lengths")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9\r\nContent-Length: 2\r\n\r\n{\"a\":\"1\"}")
            << false;
        QTest::newRow("nothing at all") << QByteArray() << false;
    }
    void readsEveryFraming()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, delivered);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        connect(&listener, &QTcpServer::newConnection, &listener, [&listener, reply] {
            QTcpSocket *socket = listener.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket, reply] {
                socket->readAll();
                socket->write(reply);
                socket->disconnectFromHost();
            });
        });
        WxNetwork network(QString("http://127.0.0.1:%1/r").arg(listener.serverPort()), "a=1");
        network.setTimeout(3000);
        QSignalSpy replied(&network, &WxNetwork::Replied);
        QSignalSpy failed(&network, &WxNetwork::Failed);
        const quint64 id = network.post();
        QTRY_COMPARE_WITH_TIMEOUT(replied.size() + failed.size(), 1, 5000);
        QCOMPARE(replied.size(), delivered ? 1 : 0);
        if (delivered) {
            QCOMPARE(replied.at(0).at(0).toULongLong(), id);
            QCOMPARE(replied.at(0).at(1).toJsonObject(), QJsonObject({{"a", "1"}}));
        }
        QTest::qWait(100);
        QCOMPARE(replied.size() + failed.size(), 1);
    }

    void unusableAddressFails_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("empty") << "";
        QTest::newRow("unknown scheme") << "kesto-fuzz://no-service";
        QTest::newRow("no host") << "http:///r";
    }
    void unusableAddressFails()
    {
        QFETCH(QString, url);
        WxNetwork network(url, "a=1");
        QSignalSpy failed(&network, &WxNetwork::Failed);
        const quint64 id = network.post();
        QCOMPARE(failed.size(), 0); // not before the caller holds the id
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.at(0).at(0).toULongLong(), id);
    }

    void refusedConnectionIsSilent()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        WxNetwork network(QString("http://127.0.0.1:%1/r").arg(port), "a=1");
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        QSignalSpy failed(&network, &WxNetwork::Failed);
        const quint64 id = network.post();
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.at(0).at(0).toULongLong(), id);
        QCOMPARE(handed.size(), 0);
    }

    // A server that takes the connection and never answers: the client gives up after its
    // time-out, closes the connection, and hands nothing on.
    void hangingServerIsAbandoned()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        WxNetwork network(QString("http://127.0.0.1:%1/r").arg(silent.serverPort()), "a=1");
        network.setTimeout(500);
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        QSignalSpy failed(&network, &WxNetwork::Failed);
        QSignalSpy connected(&silent, &QTcpServer::newConnection);
        network.post();
        QVERIFY(connected.wait(5000));
        QTcpSocket *socket = silent.nextPendingConnection();
        QSignalSpy closed(socket, &QTcpSocket::disconnected);
        QVERIFY(failed.wait(5000));
        QVERIFY(closed.wait(5000) || closed.size() == 1);
        QCOMPARE(handed.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWxNetwork)
#include "tst_wxnetwork.moc"
