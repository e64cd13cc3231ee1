#include "captureserver.h"
#include "service/wxnetwork.h"

#include <QJsonArray>
#include <QNetworkReply>
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

    void repliesAreReleased()
    {
        CaptureServer server;
        WxNetwork network;
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        for (int i = 0; i < 50; ++i)
            network.sendTo(server.url("/r"), QString("i=%1").arg(i));
        QTRY_COMPARE_WITH_TIMEOUT(handed.size(), 50, 10000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(network.findChildren<QNetworkReply *>().size(), 0);
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
