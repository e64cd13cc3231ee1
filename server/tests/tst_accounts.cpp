// Sign-in, device list, user request, and the account check that every path makes.

#include "TestServer.h"

#include <QtTest>

class AccountsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void signIn();
    void wrongCredentials_data();
    void wrongCredentials();
    void everyPathChecksTheAccount_data();
    void everyPathChecksTheAccount();
    void deviceList();
    void userVersion();

private:
    std::unique_ptr<TestServer> m_server;
};

void AccountsTest::initTestCase()
{
    m_server =
        std::make_unique<TestServer>(QStringList{QStringLiteral("--client-version"), QStringLiteral("7")});
    QVERIFY(m_server->isRunning());
}

void AccountsTest::signIn()
{
    const QJsonObject reply = m_server->post(TestServer::payInterface + "getLogin", {});
    QCOMPARE(reply["status"].toObject()["login"], QJsonValue(QStringLiteral("1")));
    const QJsonObject jm = reply["jm"].toObject();
    QCOMPARE(jm["userid"].toString(), QStringLiteral("10001"));
    QCOMPARE(jm["title"].toString(), QStringLiteral("演示商户"));
}

void AccountsTest::wrongCredentials_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("wrong password") << QByteArray("username=demo&password=demo124");
    QTest::newRow("unknown user") << QByteArray("username=nobody&password=demo123");
    QTest::newRow("password case") << QByteArray("username=demo&password=DEMO123");
    QTest::newRow("user name case") << QByteArray("username=Demo&password=demo123");
    QTest::newRow("empty password") << QByteArray("username=demo&password=");
    QTest::newRow("no fields") << QByteArray("");
    QTest::newRow("injection") << QByteArray("username=demo'--&password=x' OR '1'='1");
}

void AccountsTest::wrongCredentials()
{
    QFETCH(QByteArray, body);
    const QJsonObject reply = m_server->postRaw(TestServer::payInterface + "getLogin", body.toStdString());
    QCOMPARE(reply["status"].toObject()["login"], QJsonValue(QStringLiteral("0")));
    QVERIFY(reply["msg"].toString().contains(QStringLiteral("密码错误")));
    QVERIFY(!reply.contains(QStringLiteral("jm")));
}

void AccountsTest::everyPathChecksTheAccount_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("messageAt"); // where the client would read the refusal

    const QString pi = QStringLiteral("/index.php/Pay/Payinterface/");
    QTest::newRow("mdevices") << pi + "mdevices"
                              << ""
                              << "msg";
    QTest::newRow("getuser") << "/index.php/Pay/Pays/getuser"
                             << ""
                             << "msg";
    QTest::newRow("mreport") << pi + "mreport"
                             << "&device=1_前台&startime=2020/1/1&endtime=2030/1/1&paytype=payport&p=1"
                             << "list.total.tongji";
    QTest::newRow("kesto") << pi + "kesto"
                           << "&codes=131111111111111111&price=1&drive=1_前台"
                           << "call.msg";
    QTest::newRow("AliPay") << pi + "AliPay"
                            << "&codes=281111111111111111&price=1&drive=1_前台"
                            << "call.msg";
    QTest::newRow("wxQuery") << pi + "wxQuery"
                             << "&out_trade_no=1&drive=1_前台"
                             << "call.msg";
    QTest::newRow("AliQuery") << pi + "AliQuery"
                              << "&out_trade_no=1&drive=1_前台"
                              << "call.msg";
    QTest::newRow("GetOrders") << pi + "GetOrders"
                               << "&out_trade_no=1&device=1_前台"
                               << "call.msg";
    QTest::newRow("mrefunding") << pi + "mrefunding"
                                << "&out_trade_no=1&total_fee=1&refmoney=1"
                                << "call.msg";
    QTest::newRow("alirefunds") << "/index.php/pay/Payinterface/alirefunds"
                                << "&trade_no=1&device=1&refmoney=1"
                                << "call.msg";
}

void AccountsTest::everyPathChecksTheAccount()
{
    QFETCH(QString, path);
    QFETCH(QString, fields);
    QFETCH(QString, messageAt);

    const QString body = QStringLiteral("username=demo&password=wrong") + fields;
    const QJsonObject reply = m_server->postRaw(path.toStdString(), body.toUtf8().toStdString());
    QJsonValue value = reply;
    for (const QString &key : messageAt.split(QLatin1Char('.')))
        value = value.toObject()[key];
    QCOMPARE(value.toString(), QStringLiteral("用户名或密码错误"));
    // Nothing of the account may leak into a refused reply.
    QVERIFY(!reply.contains(QStringLiteral("data")));
    QCOMPARE(reply["devices"].toObject().size(), 0);
    QCOMPARE(reply["call"].toObject()["out_trade_no"].toString(), QString());
}

void AccountsTest::deviceList()
{
    const QJsonObject devices =
        m_server->post(TestServer::payInterface + "mdevices", {})["devices"].toObject();
    QCOMPARE(devices.keys(), (QStringList{"0", "1"}));
    QCOMPARE(devices["0"].toObject()["id"], QJsonValue(QStringLiteral("1")));
    QCOMPARE(devices["0"].toObject()["device"].toString(), QStringLiteral("前台"));
    QCOMPARE(devices["1"].toObject()["id"], QJsonValue(QStringLiteral("2")));
    QCOMPARE(devices["1"].toObject()["device"].toString(), QStringLiteral("收银台2"));
}

void AccountsTest::userVersion()
{
    const QJsonObject reply = m_server->post("/index.php/Pay/Pays/getuser", {});
    const QJsonValue ver = reply["data"].toObject()["version"].toObject()["ver"];
    QVERIFY(ver.isDouble());
    QCOMPARE(ver.toInt(), 7);

    TestServer plain;
    QVERIFY(plain.isRunning());
    const QJsonValue defaultVer =
        plain.post("/index.php/Pay/Pays/getuser", {})["data"].toObject()["version"].toObject()["ver"];
    QVERIFY(defaultVer.isDouble());
    QCOMPARE(defaultVer.toInt(), 0);
}

QTEST_GUILESS_MAIN(AccountsTest)
#include "tst_accounts.moc"
