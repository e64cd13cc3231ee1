// The executable itself: refusals to start, the held reply on stop, and persistence across a restart.

#include "TestServer.h"

#include <QTemporaryDir>
#include <future>

class ProcessTest : public QObject
{
    Q_OBJECT

private slots:
    // Bad options end with 2, a busy port (a second server once bound it) with 1; neither listens.
    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        row("unknown option", QStringList{"--colour"}, 2);
        row("positional", QStringList{"serve"}, 2);
        row("busy port", QStringList{"--port", "BUSY"}, 1);
    }
    void refusesToStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        TestServer first;
        QTemporaryDir dir;
        arguments.replaceInStrings("BUSY", QString::number(first.port()));
        QProcess second;
        second.start(PAYMENT_SERVER, arguments + QStringList{"--db", dir.filePath("other.db")});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), exitCode);
        QVERIFY(!second.readAllStandardOutput().contains("listening"));
    }

    void stopSendsTheHeldReply()
    {
        auto server = std::make_unique<TestServer>(QStringList{"--slow-reply", "600"});
        auto reply = std::async(std::launch::async, [&server] {
            return server->call(Pi + "kesto",
                                {{"codes", "131234567890127777"}, {"price", "1"}, {"drive", "1"}});
        });
        QTest::qWait(300);
        server.reset();
        QCOMPARE(reply.get()["msg"].toString(), QStringLiteral("支付成功"));
    }

    // Orders, refunds and a confirmation due while the service was down survive a restart; the
    // history is not seeded a second time.
    void persistsAcrossRestart()
    {
        QTemporaryDir dir;
        const QStringList database{"--db", dir.filePath("kept.db")};
        auto server = std::make_unique<TestServer>(database + QStringList{"--confirm-delay", "1"});
        const QJsonObject paid =
            server->call(Pi + "AliPay", {{"codes", "277777777777777771"}, {"price", "42"}, {"drive", Front}});
        const QJsonObject waiting =
            server->call(Pi + "kesto", {{"codes", "127777777777770000"}, {"price", "3"}, {"drive", Front}});
        QCOMPARE(waiting["msg"].toString(), QStringLiteral("等待用户验证密码"));
        QCOMPARE(server
                     ->call(AliRefund, {{"trade_no", paid["transaction_id"].toString()},
                                        {"device", "1"},
                                        {"refmoney", "12"}})["msg"]
                     .toString(),
                 QStringLiteral("退款成功"));
        const QJsonObject before = server->records(Front, daysAgo(30), today(), "payport");
        server.reset();
        QTest::qWait(1100);

        server = std::make_unique<TestServer>(database);
        const QJsonObject query = server->call(
            Pi + "AliQuery", {{"out_trade_no", paid["out_trade_no"].toString()}, {"drive", "1"}});
        for (const char *key : {"msg", "out_trade_no", "payt", "time_end", "total_fee", "mchname"})
            QCOMPARE(query[key], paid[key]);
        QCOMPARE(server
                     ->call(Pi + "GetOrders",
                            {{"out_trade_no", paid["out_trade_no"].toString()}, {"device", "1"}})["refunds"]
                     .toString(),
                 QStringLiteral("1200"));
        QCOMPARE(server
                     ->call(Pi + "wxQuery",
                            {{"out_trade_no", waiting["out_trade_no"].toString()}, {"drive", "1"}})["msg"]
                     .toString(),
                 QStringLiteral("支付成功"));
        const QJsonObject after = server->records(Front, daysAgo(30), today(), "payport");
        QCOMPARE(parseSummary(after["total"].toObject()["tongji"].toString()).count,
                 parseSummary(before["total"].toObject()["tongji"].toString()).count + 1);
        QCOMPARE(after["1"], before["0"]);
    }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "tst_process.moc"
