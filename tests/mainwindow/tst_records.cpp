#include "mainwindow/records.h"
#include "rows.h"

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
        row("two records", page.arg(1).arg(2) + "," + record("0", "A") + "," + record("1", "B"),
            QList<int>{0, 1}, 2);
        row("np bounds the records", page.arg(0).arg(1) + "," + record("0", "A") + "," + record("1", "B"),
            QList<int>{0}, 1);
        row("empty order number skipped, later row keeps its index",
            page.arg(2).arg(1) + "," + record("0", "") + "," + record("1", "") + "," + record("2", "C"),
            QList<int>{2}, 1);
        row("index beyond the records given",
            page.arg(2000000000).arg(1) + "," + record("0", "A") + "," + record("1999999999", "B"),
            QList<int>{0}, 1);
        row("keys that are not plain indexes",
            page.arg(5).arg(1) + "," + record("01", "A") + "," + record("+1", "B") + "," + record("2", "C"),
            QList<int>{2}, 1);
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
        QTest::addColumn<QString>("tongji");
        QTest::addColumn<QString>("shown");
        const QString summary = "支付81笔，合计19829.90元，已退款3999.12元";
        row("WeChat Pay", "Kesto", "微信支付", summary, summary);
        row("Alipay, a megabyte of statistics", "AliPay", "支付宝钱包", summary.repeated(30000),
            summary.repeated(4).left(100) + "…");
    }
    void cellsOfARecord()
    {
        QFETCH(QString, payt);
        QFETCH(QString, channel);
        QFETCH(QString, tongji);
        QFETCH(QString, shown);
        const QString list = R"({"list":{"page":{"np":0,"pmax":1},"total":{"tongji":"%1"},%2}})";
        const RecordsPage page = parseRecords(
            reply(list.arg(tongji, record("0", "100000000000000001", qPrintable(payt))).toUtf8()));
        QCOMPARE(page.statistics, shown);
        QCOMPARE(page.rows.size(), 1);
        QCOMPARE(page.rows[0].cells, (QStringList{"0", channel, "前台", "￥0.01", "￥0", "100000000000000001",
                                                  "t", "2016年03月05日 14时22分33秒"}));
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
