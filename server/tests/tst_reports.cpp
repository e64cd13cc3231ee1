// Records: the seeded month, paging, the summary line over the whole range, dates and refusals.

#include "TestServer.h"

#include <QSet>
#include <QtTest>

namespace {

const std::string report = TestServer::payInterface + "mreport";

} // namespace

class ReportsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void allPagesAddUp_data();
    void allPagesAddUp();
    void emptyPages_data();
    void emptyPages();
    void dayForms_data();
    void dayForms();
    void refusedRequest_data();
    void refusedRequest();
    void newPaymentAppears();

private:
    QJsonObject list(const QString &device, const QString &from, const QString &to, const QString &kind,
                     const QString &page) const
    {
        return m_server
            ->post(report, {{"device", device},
                            {"startime", from},
                            {"endtime", to},
                            {"paytype", kind},
                            {"p", page}})["list"]
            .toObject();
    }

    std::unique_ptr<TestServer> m_server;
};

void ReportsTest::initTestCase()
{
    m_server = std::make_unique<TestServer>();
    QVERIFY(m_server->isRunning());
}

void ReportsTest::allPagesAddUp_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("minimumPages");

    QTest::newRow("front payments") << Demo::frontDevice << "payport" << 3;
    QTest::newRow("second payments") << Demo::secondDevice << "payport" << 3;
    QTest::newRow("front refunds") << Demo::frontDevice << "payrefunds" << 2;
    QTest::newRow("second refunds") << Demo::secondDevice << "payrefunds" << 2;
}

void ReportsTest::allPagesAddUp()
{
    QFETCH(QString, device);
    QFETCH(QString, kind);
    QFETCH(int, minimumPages);

    const QString from = Demo::daysAgo(30);
    const QString to = Demo::today();
    const QJsonObject first = list(device, from, to, kind, QStringLiteral("1"));
    const QJsonValue pmaxValue = first["page"].toObject()["pmax"];
    QVERIFY(pmaxValue.isDouble());
    const int pmax = pmaxValue.toInt();
    QVERIFY2(pmax >= minimumPages, qPrintable(QString::number(pmax)));
    const Summary summary = parseSummary(first["total"].toObject()["tongji"].toString());
    QVERIFY2(summary.count > 0, qPrintable(first["total"].toObject()["tongji"].toString()));
    QCOMPARE(pmax, (summary.count + 9) / 10);

    const QString deviceName = device.section(QLatin1Char('_'), 1);
    QSet<QString> ids;
    int records = 0;
    qint64 fen = 0;
    QString previousTime = QStringLiteral("99999999999999");
    for (int page = 1; page <= pmax; ++page) {
        const QJsonObject current = list(device, from, to, kind, QString::number(page));
        const QJsonValue np = current["page"].toObject()["np"];
        QVERIFY(np.isDouble());
        QCOMPARE(np.toInt(), page < pmax ? 9 : (summary.count - 1) % 10);
        QCOMPARE(current["page"].toObject()["pmax"].toInt(), pmax);
        QCOMPARE(current["total"], first["total"]);
        for (int i = 0; i <= np.toInt(); ++i) {
            const QJsonObject record = current[QString::number(i)].toObject();
            for (const char *key : {"id", "payt", "device_info", "total_fee", "refunds", "out_trade_no",
                                    "transaction_id", "time_end"})
                QVERIFY2(record[QLatin1String(key)].isString(), key);
            QCOMPARE(record["device_info"].toString(), deviceName);
            QVERIFY(record["payt"] == QLatin1String("Kesto") || record["payt"] == QLatin1String("AliPay"));
            QCOMPARE(record["out_trade_no"].toString().size(), 18);
            const QString time = record["time_end"].toString();
            QCOMPARE(time.size(), 14);
            QVERIFY2(time <= previousTime, "records are not newest first");
            previousTime = time;
            QVERIFY2(!ids.contains(record["id"].toString()), "a record appears on two pages");
            ids.insert(record["id"].toString());
            const qint64 total = record["total_fee"].toString().toLongLong();
            const qint64 refunded = record["refunds"].toString().toLongLong();
            QVERIFY(total > 0);
            QVERIFY(refunded >= 0 && refunded <= total);
            fen += kind == QLatin1String("payport") ? total : refunded;
            ++records;
        }
        QVERIFY(!current.contains(QString::number(np.toInt() + 1)));
    }
    QCOMPARE(records, summary.count);
    QCOMPARE(fen, summary.fen);
}

void ReportsTest::emptyPages_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("from");
    QTest::newRow("page zero") << "0" << Demo::daysAgo(30);
    QTest::newRow("negative page") << "-3" << Demo::daysAgo(30);
    QTest::newRow("past the end") << "500" << Demo::daysAgo(30);
    QTest::newRow("range without records") << "1" << Demo::today();
}

void ReportsTest::emptyPages()
{
    QFETCH(QString, page);
    QFETCH(QString, from);
    const QJsonObject current =
        list(Demo::frontDevice, from, Demo::today(), QStringLiteral("payrefunds"), page);
    QCOMPARE(current["page"].toObject()["np"].toInt(), -1);
    QVERIFY(!current.contains(QStringLiteral("0")));
    QVERIFY(current["total"].toObject()["tongji"].toString().startsWith(QStringLiteral("退款")));
}

void ReportsTest::dayForms_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    const QDate day = QDate::currentDate().addDays(-5);
    QTest::newRow("client form") << day.toString("yyyy/M/d") << day.toString("yyyy/M/d");
    QTest::newRow("iso form") << day.toString("yyyy-MM-dd") << day.toString("yyyy-MM-dd");
    QTest::newRow("mixed") << day.toString("yyyy/MM/dd") << day.toString("yyyy-M-d");
}

void ReportsTest::dayForms()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    // One whole day, both ends included: every record is of that day, and there are some.
    const QJsonObject current =
        list(QStringLiteral("1"), from, to, QStringLiteral("payport"), QStringLiteral("1"));
    const int np = current["page"].toObject()["np"].toInt();
    QVERIFY(np >= 1);
    const QString day = QDate::currentDate().addDays(-5).toString("yyyyMMdd");
    for (int i = 0; i <= np; ++i)
        QVERIFY(current[QString::number(i)].toObject()["time_end"].toString().startsWith(day));
}

void ReportsTest::refusedRequest_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("message");

    const QString from = Demo::daysAgo(30);
    const QString to = Demo::today();
    QTest::newRow("unknown kind") << "1" << from << to << "payall"
                                  << "1"
                                  << "记录类型无效";
    QTest::newRow("no kind") << "1" << from << to << ""
                             << "1"
                             << "记录类型无效";
    QTest::newRow("bad start") << "1"
                               << "yesterday" << to << "payport"
                               << "1"
                               << "开始日期无效";
    QTest::newRow("bad end") << "1" << from << "2016/13/1"
                             << "payport"
                             << "1"
                             << "结束日期无效";
    QTest::newRow("reversed") << "1" << to << from << "payport"
                              << "1"
                              << "不能晚于";
    QTest::newRow("page text") << "1" << from << to << "payport"
                               << "two"
                               << "页码无效";
    QTest::newRow("unknown device") << "3_后台" << from << to << "payport"
                                    << "1"
                                    << "设备不存在";
    QTest::newRow("no device") << "" << from << to << "payport"
                               << "1"
                               << "设备不存在";
}

void ReportsTest::refusedRequest()
{
    QFETCH(QString, device);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, kind);
    QFETCH(QString, page);
    QFETCH(QString, message);
    const QJsonObject current = list(device, from, to, kind, page);
    QCOMPARE(current["page"].toObject()["np"].toInt(), -1);
    QCOMPARE(current["page"].toObject()["pmax"].toInt(), 0);
    const QString tongji = current["total"].toObject()["tongji"].toString();
    QVERIFY2(tongji.contains(message), qPrintable(tongji));
}

void ReportsTest::newPaymentAppears()
{
    const QString today = Demo::today();
    const Summary before = parseSummary(
        list(Demo::frontDevice, today, today, "payport", "1")["total"].toObject()["tongji"].toString());
    const QJsonObject call =
        m_server
            ->post(
                TestServer::payInterface + "kesto",
                {{"codes", "139876543210987654"}, {"price", "123.45"}, {"drive", Demo::frontDevice}})["call"]
            .toObject();
    QCOMPARE(call["msg"].toString(), QStringLiteral("支付成功"));

    const QJsonObject after = list(Demo::frontDevice, today, today, "payport", "1");
    const Summary summary = parseSummary(after["total"].toObject()["tongji"].toString());
    QCOMPARE(summary.count, before.count + 1);
    QCOMPARE(summary.fen, before.fen + 12345);
    QCOMPARE(after["0"].toObject()["out_trade_no"], call["out_trade_no"]);
    QCOMPARE(after["0"].toObject()["time_end"], call["time_end"]);
    QCOMPARE(after["0"].toObject()["refunds"].toString(), QStringLiteral("0"));

    // The other device's records do not show it.
    const QJsonObject other = list(Demo::secondDevice, today, today, "payport", "1");
    const Summary otherSummary = parseSummary(other["total"].toObject()["tongji"].toString());
    for (int i = 0; i < 10; ++i)
        QVERIFY(other[QString::number(i)].toObject()["out_trade_no"] != call["out_trade_no"]);
    QVERIFY(otherSummary.count >= 0);
}

QTEST_GUILESS_MAIN(ReportsTest)
#include "tst_reports.moc"
