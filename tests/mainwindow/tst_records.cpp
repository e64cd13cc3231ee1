#include "mainwindow/records.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

// A page of the records as the service sends it, each record of one fen with nothing refunded.
RecordsPage page(int np, const QString &tongji, const QStringList &records, const QString &payt = "Kesto")
{
    QString list =
        QString(R"({"list":{"page":{"np":%1,"pmax":2},"total":{"tongji":"%2"})").arg(np).arg(tongji);
    for (const QString &record : records) // its key and its order number
        list += QString(R"(,"%1":{"id":"%1","payt":"%3","device_info":"前台","total_fee":"1","refunds":"",
                        "out_trade_no":"%2","transaction_id":"t","time_end":"20160305142233"})")
                    .arg(record.section(' ', 0, 0), record.section(' ', 1), payt);
    return parseRecords(QJsonDocument::fromJson(list.toUtf8() + "}}").object());
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    // A row for each key that is a plain index up to "np" and below the number of entries (a wild
    // key must not ask the view for two billion rows), but none for a record without an order number.
    void rowsOfAPage()
    {
        const RecordsPage bounded = page(0, "t", {"0 A", "1 B"});
        QCOMPARE(bounded.rows.size(), 1);
        QCOMPARE(bounded.pageCount, 2);
        const RecordsPage wild = page(2000000000, "t", {"0 A", "01 X", "+1 Y", "2 ", "3 C", "1999999999 B"});
        QCOMPARE(wild.rows.size(), 2);
        QCOMPARE(wild.rows.last().index, 3);
    }

    // The cells of either channel's record; statistics cut to a hundred characters.
    void cellsOfARecord()
    {
        const QString summary = "支付81笔，合计19829.90元，已退款3999.12元";
        QStringList cells{"0", "微信支付", "前台", "￥0.01", "￥0", "A", "t", "2016年03月05日 14时22分33秒"};
        const RecordsPage wechat = page(0, summary, {"0 A"});
        QCOMPARE(wechat.statistics, summary);
        QCOMPARE(wechat.rows.value(0).cells, cells);
        const RecordsPage alipay = page(0, summary.repeated(30000), {"0 A"}, "AliPay");
        QCOMPARE(alipay.statistics, summary.repeated(4).left(100) + "…");
        cells[1] = "支付宝钱包";
        QCOMPARE(alipay.rows.value(0).cells, cells);
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
