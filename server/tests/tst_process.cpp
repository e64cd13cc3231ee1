// The executable itself: options, the first line, exit codes, persistence across a restart and the
// repeatable seed.

#include "TestServer.h"

#include <QProcess>
#include <QtTest>
#include <future>

namespace {

const std::string report = TestServer::payInterface + "mreport";

QJsonObject monthPage(const TestServer &server, const QString &kind, int page)
{
    return server
        .post(report, {{"device", Demo::frontDevice},
                       {"startime", Demo::daysAgo(30)},
                       {"endtime", Demo::today()},
                       {"paytype", kind},
                       {"p", QString::number(page)}})["list"]
        .toObject();
}

} // namespace

class ProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void help();
    void badOptions_data();
    void badOptions();
    void busyPort();
    void stopSendsHeldReply();
    void persistsAcrossRestart();
    void seedIsRepeatable();
};

void ProcessTest::help()
{
    QProcess process;
    process.start(TestServer::executable(), {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    for (const QString &part : {QStringLiteral("--confirm-delay"), QStringLiteral("--client-version"),
                                QStringLiteral("0000"), QStringLiteral("9999"), QStringLiteral("余额不足"),
                                QStringLiteral("等待用户验证密码"), QStringLiteral("demo123")})
        QVERIFY2(text.contains(part), qPrintable(part));
}

void ProcessTest::badOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{"--colour"};
    QTest::newRow("bad port") << QStringList{"--port", "eighty"};
    QTest::newRow("missing value") << QStringList{"--client-version"};
    QTest::newRow("positional") << QStringList{"serve"};
}

void ProcessTest::badOptions()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(TestServer::executable(), arguments);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(!process.readAllStandardError().isEmpty());
}

void ProcessTest::busyPort()
{
    TestServer first;
    QVERIFY(first.isRunning());
    QTemporaryDir dir;
    QProcess second;
    second.start(TestServer::executable(),
                 {"--port", QString::number(first.port()), "--db", dir.filePath(QStringLiteral("other.db"))});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(!second.readAllStandardOutput().contains("listening"));
    QCOMPARE(first.stop(), 0);
}

void ProcessTest::stopSendsHeldReply()
{
    TestServer server({QStringLiteral("--slow-reply"), QStringLiteral("600")});
    QVERIFY(server.isRunning());
    std::future<QJsonObject> reply = std::async(std::launch::async, [&server] {
        return server.post(TestServer::payInterface + "kesto",
                           {{"codes", "131234567890127777"}, {"price", "1"}, {"drive", "1"}});
    });
    QTest::qWait(300);
    QCOMPARE(server.stop(), 0);
    QCOMPARE(reply.get()["call"].toObject()["msg"].toString(), QStringLiteral("支付成功"));
}

void ProcessTest::persistsAcrossRestart()
{
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("kept.db"));
    QJsonObject paid;
    QJsonObject waiting;
    QJsonObject paymentsBefore;
    {
        TestServer server({QStringLiteral("--confirm-delay"), QStringLiteral("1")}, database);
        QVERIFY(server.isRunning());
        paid = server
                   .post(TestServer::payInterface + "AliPay", {{"codes", "277777777777777771"},
                                                               {"price", "42"},
                                                               {"drive", Demo::frontDevice}})["call"]
                   .toObject();
        QCOMPARE(paid["msg"].toString(), QStringLiteral("支付成功"));
        waiting =
            server
                .post(TestServer::payInterface + "kesto",
                      {{"codes", "127777777777770000"}, {"price", "3"}, {"drive", Demo::frontDevice}})["call"]
                .toObject();
        QCOMPARE(waiting["msg"].toString(), QStringLiteral("等待用户验证密码"));
        const QJsonObject refunded = server
                                         .post("/index.php/pay/Payinterface/alirefunds",
                                               {{"trade_no", paid["transaction_id"].toString()},
                                                {"device", paid["device_info"].toString()},
                                                {"refmoney", "12"}})["call"]
                                         .toObject();
        QCOMPARE(refunded["msg"].toString(), QStringLiteral("退款成功"));
        paymentsBefore = monthPage(server, QStringLiteral("payport"), 1);
        QCOMPARE(server.stop(), 0);
    }
    QTest::qWait(1100);

    TestServer again({}, database);
    QVERIFY(again.isRunning());
    const QJsonObject query =
        again
            .post(TestServer::payInterface + "AliQuery",
                  {{"out_trade_no", paid["out_trade_no"].toString()}, {"drive", "1"}})["call"]
            .toObject();
    QCOMPARE(query["msg"].toString(), QStringLiteral("支付成功"));
    for (const char *key : {"out_trade_no", "payt", "time_end", "total_fee", "mchname", "mchid"})
        QCOMPARE(query[QLatin1String(key)], paid[QLatin1String(key)]);

    const QJsonObject lookup =
        again
            .post(TestServer::payInterface + "GetOrders",
                  {{"out_trade_no", paid["out_trade_no"].toString()}, {"device", "1"}})["call"]
            .toObject();
    QCOMPARE(lookup["refunds"].toString(), QStringLiteral("1200"));

    // The payment that waited for the customer was confirmed while the server was down.
    const QJsonObject confirmed =
        again
            .post(TestServer::payInterface + "wxQuery",
                  {{"out_trade_no", waiting["out_trade_no"].toString()}, {"drive", "1"}})["call"]
            .toObject();
    QCOMPARE(confirmed["msg"].toString(), QStringLiteral("支付成功"));

    // The history was kept and not seeded a second time; the confirmed payment was added to it.
    const QJsonObject paymentsAfter = monthPage(again, QStringLiteral("payport"), 1);
    const QString before = paymentsBefore["total"].toObject()["tongji"].toString();
    const QString after = paymentsAfter["total"].toObject()["tongji"].toString();
    const int countBefore = before.section(QStringLiteral("笔"), 0, 0).mid(2).toInt();
    const int countAfter = after.section(QStringLiteral("笔"), 0, 0).mid(2).toInt();
    QVERIFY(countBefore > 0);
    QCOMPARE(countAfter, countBefore + 1);
    QCOMPARE(paymentsAfter["1"], paymentsBefore["0"]);
}

void ProcessTest::seedIsRepeatable()
{
    TestServer first;
    TestServer second;
    QVERIFY(first.isRunning());
    QVERIFY(second.isRunning());
    for (const QString kind : {QStringLiteral("payport"), QStringLiteral("payrefunds")}) {
        const QJsonObject firstPage = monthPage(first, kind, 1);
        const int pages = firstPage["page"].toObject()["pmax"].toInt();
        QVERIFY(pages > 1);
        for (int page = 1; page <= pages; ++page)
            QCOMPARE(monthPage(first, kind, page), monthPage(second, kind, page));
    }
}

QTEST_GUILESS_MAIN(ProcessTest)
#include "tst_process.moc"
