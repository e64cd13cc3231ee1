#include "captureserver.h"
#include "service/formbody.h"
#include "service/wxnetwork.h"

#include <QSignalSpy>
#include <QtTest>

// What the client encodes, a real HTTP server decodes back to the same fields, in order, with
// nothing added: no value can smuggle in a field of its own.
class TestFormBody : public QObject
{
    Q_OBJECT

private slots:
    void valuesArriveIntact_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("codes");
        QTest::newRow("plain") << "demo123"
                               << "134567890123456789";
        QTest::newRow("ampersand") << "a&b"
                                   << "134567890123456789";
        QTest::newRow("field injection") << "x&codes=999"
                                         << "1&price=0.01";
        QTest::newRow("plus and space") << "a+b c"
                                        << " 13 ";
        QTest::newRow("equals and percent") << "a=b%41%"
                                            << "%26";
        QTest::newRow("chinese") << "密码"
                                 << "前台";
        QTest::newRow("empty") << ""
                               << "";
    }
    void valuesArriveIntact()
    {
        QFETCH(QString, password);
        QFETCH(QString, codes);
        CaptureServer server;
        WxNetwork network;
        QSignalSpy handed(&network, &WxNetwork::PostFinish);
        const QString body =
            formBody({{"username", "demo"}, {"password", password}, {"codes", codes}, {"price", "12.50"}});
        QVERIFY(body.startsWith("username=demo&password="));
        network.sendTo(server.url("/pay"), body);
        QVERIFY(handed.wait(5000));

        const CaptureServer::Request request = server.requests().value(0);
        QCOMPARE(request.fields.size(), 4);
        QCOMPARE(request.fields.value("username"), QString("demo"));
        QCOMPARE(request.fields.value("password"), password);
        QCOMPARE(request.fields.value("codes"), codes);
        QCOMPARE(request.fields.value("price"), QString("12.50"));
        const QList<QByteArray> names = [&] {
            QList<QByteArray> list;
            for (const QByteArray &pair : request.body.split('&'))
                list << pair.left(pair.indexOf('='));
            return list;
        }();
        QCOMPARE(names, (QList<QByteArray>{"username", "password", "codes", "price"}));
    }
};

QTEST_GUILESS_MAIN(TestFormBody)
#include "tst_formbody.moc"
