#include "mainwindow/records.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

QJsonObject reply(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

QString record(const char *index, const char *orderNumber, const char *payt = "Kesto")
{
    return QString(R"("%1":{"id":"%1","payt":"%3","device_info":"前台","total_fee":"1","refunds":"",
                   "out_trade_no":"%2","transaction_id":"t","time_end":"20160305142233"})")
        .arg(index, orderNumber, payt);
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void rowsOfAPage_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("pages");

        const QString page = R"("page":{"np":%1,"pmax":%2},"total":{"tongji":"t"})";
        QTest::newRow("two records") << page.arg(1).arg(2) + "," + record("0", "A") + "," + record("1", "B")
                                     << QList<int>{0, 1} << 2;
        QTest::newRow("np bounds the records")
            << page.arg(0).arg(1) + "," + record("0", "A") + "," + record("1", "B") << QList<int>{0} << 1;
        QTest::newRow("empty order number skipped, later row keeps its index")
            << page.arg(2).arg(1) + "," + record("0", "") + "," + record("1", "") + "," + record("2", "C")
            << QList<int>{2} << 1;
        QTest::newRow("negative np") << page.arg(-1).arg(1) + "," + record("0", "A") << QList<int>{} << 1;
        QTest::newRow("huge np costs nothing")
            << page.arg(2000000000).arg(1) + "," + record("0", "A") << QList<int>{0} << 1;
        QTest::newRow("index beyond the records given")
            << page.arg(2000000000).arg(1) + "," + record("0", "A") + "," + record("1999999999", "B")
            << QList<int>{0} << 1;
        QTest::newRow("np as a string reads as 0")
            << R"("page":{"np":"1","pmax":"2"})" + QString(",") + record("0", "A") + "," + record("1", "B")
            << QList<int>{0} << 0;
        QTest::newRow("keys that are not plain indexes")
            << page.arg(5).arg(1) + "," + record("01", "A") + "," + record("+1", "B") + "," + record("2", "C")
            << QList<int>{2} << 1;
        QTest::newRow("no page") << record("0", "A") << QList<int>{0} << 0;
    }
    void rowsOfAPage()
    {
        QFETCH(QString, list);
        QFETCH(QList<int>, rows);
        QFETCH(int, pages);
        const RecordsPage page = parseRecords(reply("{\"list\":{" + list.toUtf8() + "}}"));
        QList<int> indexes;
        for (const RecordsPage::Row &row : page.rows)
            indexes << row.index;
        QCOMPARE(indexes, rows);
        QCOMPARE(page.pageCount, pages);
    }

    void cellsOfARecord_data()
    {
        QTest::addColumn<QString>("payt");
        QTest::addColumn<QString>("channel");
        QTest::newRow("WeChat Pay") << "Kesto"
                                    << "微信支付";
        QTest::newRow("Alipay") << "AliPay"
                                << "支付宝钱包";
        QTest::newRow("empty counts as Alipay") << ""
                                                << "支付宝钱包";
    }
    void cellsOfARecord()
    {
        QFETCH(QString, payt);
        QFETCH(QString, channel);
        const RecordsPage page =
            parseRecords(reply("{\"list\":{\"page\":{\"np\":0,\"pmax\":1},\"total\":{\"tongji\":\"共1笔\"}," +
                               record("0", "100000000000000001", payt.toUtf8().constData()).toUtf8() + "}}"));
        QCOMPARE(page.statistics, QString("共1笔"));
        QCOMPARE(page.rows.size(), 1);
        QCOMPARE(page.rows[0].cells, (QStringList{"0", channel, "前台", "￥0.01", "￥0", "100000000000000001",
                                                  "t", "2016年03月05日 14时22分33秒"}));
    }

    void statistics_data()
    {
        QTest::addColumn<QString>("tongji");
        QTest::addColumn<QString>("shown");
        const QString summary = "支付81笔，合计19829.90元，已退款3999.12元";
        QTest::newRow("the service's summary") << summary << summary;
        QTest::newRow("a megabyte of it") << summary.repeated(30000) << summary.repeated(4).left(100) + "…";
    }
    void statistics()
    {
        QFETCH(QString, tongji);
        QFETCH(QString, shown);
        const QJsonObject total{{"tongji", tongji}};
        QCOMPARE(parseRecords(QJsonObject{{"list", QJsonObject{{"total", total}}}}).statistics, shown);
    }

    void replyWithoutList()
    {
        const RecordsPage page = parseRecords(reply(R"({"data":{"version":{"ver":3}}})"));
        QCOMPARE(page.rows.size(), 0);
        QCOMPARE(page.pageCount, 0);
        QCOMPARE(page.statistics, QString());
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
