// Refunds on both channels: partial refunds add up, the order amount is the limit, and the
// refund records list what was refunded.

#include "TestServer.h"

#include <QtTest>

namespace {

const std::string wechatRefund = TestServer::payInterface + "mrefunding";
const std::string alipayRefund = "/index.php/pay/Payinterface/alirefunds";

} // namespace

class RefundsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void partialRefundsAddUp_data();
    void partialRefundsAddUp();
    void refusedRefund_data();
    void refusedRefund();
    void refundRecords();

private:
    // Pays a fresh order and returns its "call".
    QJsonObject payOrder(bool alipay, const QString &price, const QString &device = Demo::frontDevice)
    {
        const QString code = (alipay ? QStringLiteral("26") : QStringLiteral("11")) +
                             QString::number(++m_codes).rightJustified(16, QLatin1Char('3'));
        const std::string path = TestServer::payInterface + (alipay ? "AliPay" : "kesto");
        return m_server->post(path, {{"codes", code}, {"price", price}, {"drive", device}})["call"]
            .toObject();
    }

    QJsonObject refund(const QJsonObject &order, const QString &amount,
                       const QString &device = QString()) const
    {
        if (order["payt"].toString() == QLatin1String("Kesto")) {
            return m_server
                ->post(wechatRefund, {{"out_trade_no", order["out_trade_no"].toString()},
                                      {"total_fee", "0"},
                                      {"refmoney", amount}})["call"]
                .toObject();
        }
        return m_server
            ->post(alipayRefund, {{"trade_no", order["transaction_id"].toString()},
                                  {"device", device.isEmpty() ? order["device_info"].toString() : device},
                                  {"refmoney", amount}})["call"]
            .toObject();
    }

    QString refundedFen(const QJsonObject &order) const
    {
        const QJsonObject found =
            m_server
                ->post(TestServer::payInterface + "GetOrders",
                       {{"out_trade_no", order["out_trade_no"].toString()}, {"device", "1"}})["call"]
                .toObject();
        return found["refunds"].toString();
    }

    std::unique_ptr<TestServer> m_server;
    int m_codes = 0;
};

void RefundsTest::initTestCase()
{
    m_server = std::make_unique<TestServer>();
    QVERIFY(m_server->isRunning());
}

void RefundsTest::partialRefundsAddUp_data()
{
    QTest::addColumn<bool>("alipay");
    QTest::newRow("wechat") << false;
    QTest::newRow("alipay") << true;
}

void RefundsTest::partialRefundsAddUp()
{
    QFETCH(bool, alipay);
    const QJsonObject order = payOrder(alipay, QStringLiteral("10"));
    QCOMPARE(order["msg"].toString(), QStringLiteral("支付成功"));

    QCOMPARE(refund(order, QStringLiteral("3.33"))["msg"].toString(), QStringLiteral("退款成功"));
    QCOMPARE(refundedFen(order), QStringLiteral("333"));
    QCOMPARE(refund(order, QStringLiteral("6.67"))["msg"].toString(), QStringLiteral("退款成功"));

    // Fully refunded: one more fen is too much, and the lookup no longer offers the order.
    const QJsonObject over = refund(order, QStringLiteral("0.01"));
    QVERIFY(over["msg"].toString() != QStringLiteral("退款成功"));
    QVERIFY2(over["msg"].toString().contains(QStringLiteral("全额退款")), qPrintable(over["msg"].toString()));
    QCOMPARE(refundedFen(order), QString());

    const QJsonObject second = payOrder(alipay, QStringLiteral("5"));
    QCOMPARE(refund(second, QStringLiteral("4.99"))["msg"].toString(), QStringLiteral("退款成功"));
    const QJsonObject exceeds = refund(second, QStringLiteral("0.02"));
    QVERIFY2(exceeds["msg"].toString().contains(QStringLiteral("可退0.01元")),
             qPrintable(exceeds["msg"].toString()));
    QCOMPARE(refundedFen(second), QStringLiteral("499"));
}

void RefundsTest::refusedRefund_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("orderKind"); // which order the identifying field names
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("message");

    QTest::newRow("wechat more than paid") << "mrefunding"
                                           << "wechat"
                                           << ""
                                           << "10.01"
                                           << "超过可退金额";
    QTest::newRow("wechat zero") << "mrefunding"
                                 << "wechat"
                                 << ""
                                 << "0"
                                 << "退款金额无效";
    QTest::newRow("wechat text") << "mrefunding"
                                 << "wechat"
                                 << ""
                                 << "all"
                                 << "退款金额无效";
    QTest::newRow("wechat three decimals") << "mrefunding"
                                           << "wechat"
                                           << ""
                                           << "0.001"
                                           << "退款金额无效";
    QTest::newRow("wechat missing amount") << "mrefunding"
                                           << "wechat"
                                           << ""
                                           << ""
                                           << "退款金额无效";
    QTest::newRow("wechat path, alipay order") << "mrefunding"
                                               << "alipay"
                                               << ""
                                               << "1"
                                               << "不是微信支付订单";
    QTest::newRow("wechat unknown order") << "mrefunding"
                                          << "unknown"
                                          << ""
                                          << "1"
                                          << "订单不存在";
    QTest::newRow("wechat no order") << "mrefunding"
                                     << "none"
                                     << ""
                                     << "1"
                                     << "订单号不能为空";
    QTest::newRow("wechat unpaid order") << "mrefunding"
                                         << "waiting"
                                         << ""
                                         << "1"
                                         << "尚未支付";
    QTest::newRow("alipay more than paid") << "alirefunds"
                                           << "alipay"
                                           << "1_前台"
                                           << "10.01"
                                           << "超过可退金额";
    QTest::newRow("alipay negative") << "alirefunds"
                                     << "alipay"
                                     << "1_前台"
                                     << "-1"
                                     << "退款金额无效";
    QTest::newRow("alipay path, wechat order") << "alirefunds"
                                               << "wechat"
                                               << "1_前台"
                                               << "1"
                                               << "不是支付宝订单";
    QTest::newRow("alipay other device") << "alirefunds"
                                         << "alipay"
                                         << "2_收银台2"
                                         << "1"
                                         << "不是在设备";
    QTest::newRow("alipay unknown device") << "alirefunds"
                                           << "alipay"
                                           << "8"
                                           << "1"
                                           << "设备不存在";
    QTest::newRow("alipay unknown order") << "alirefunds"
                                          << "unknown"
                                          << "1_前台"
                                          << "1"
                                          << "订单不存在";
}

void RefundsTest::refusedRefund()
{
    QFETCH(QString, path);
    QFETCH(QString, orderKind);
    QFETCH(QString, device);
    QFETCH(QString, amount);
    QFETCH(QString, message);

    QJsonObject order;
    if (orderKind == QLatin1String("wechat") || orderKind == QLatin1String("alipay"))
        order = payOrder(orderKind == QLatin1String("alipay"), QStringLiteral("10"));
    else if (orderKind == QLatin1String("waiting"))
        order = m_server
                    ->post(TestServer::payInterface + "kesto",
                           {{"codes", "119999999999990000"}, {"price", "10"}, {"drive", "1"}})["call"]
                    .toObject();
    else if (orderKind == QLatin1String("unknown"))
        order = QJsonObject{{"out_trade_no", "209901010000000001"},
                            {"transaction_id", "4220990101000000000000000001"}};

    QJsonObject call;
    if (path == QLatin1String("mrefunding")) {
        call = m_server
                   ->post(wechatRefund, {{"out_trade_no", order["out_trade_no"].toString()},
                                         {"total_fee", "10"},
                                         {"refmoney", amount}})["call"]
                   .toObject();
    } else {
        call = m_server
                   ->post(alipayRefund, {{"trade_no", order["transaction_id"].toString()},
                                         {"device", device},
                                         {"refmoney", amount}})["call"]
                   .toObject();
    }
    QVERIFY2(call["msg"].toString().contains(message), qPrintable(call["msg"].toString()));
    if (orderKind == QLatin1String("wechat") || orderKind == QLatin1String("alipay"))
        QCOMPARE(refundedFen(order), QStringLiteral("0"));
}

void RefundsTest::refundRecords()
{
    const Fields range{{"device", Demo::secondDevice},
                       {"startime", Demo::today()},
                       {"endtime", Demo::today()},
                       {"paytype", "payrefunds"},
                       {"p", "1"}};
    const std::string report = TestServer::payInterface + "mreport";
    // Today holds seeded refunds too; the new ones add to them.
    const Summary before = parseSummary(
        m_server->post(report, range)["list"].toObject()["total"].toObject()["tongji"].toString());
    QVERIFY(before.count >= 0);

    const QJsonObject wechat = payOrder(false, QStringLiteral("20"), Demo::secondDevice);
    const QJsonObject alipay = payOrder(true, QStringLiteral("30"), Demo::secondDevice);
    QCOMPARE(refund(wechat, QStringLiteral("1.5"))["msg"].toString(), QStringLiteral("退款成功"));
    QCOMPARE(refund(alipay, QStringLiteral("2.25"))["msg"].toString(), QStringLiteral("退款成功"));
    QCOMPARE(refund(wechat, QStringLiteral("0.5"))["msg"].toString(), QStringLiteral("退款成功"));

    const QJsonObject list = m_server->post(report, range)["list"].toObject();
    const Summary after = parseSummary(list["total"].toObject()["tongji"].toString());
    QCOMPARE(after.count, before.count + 3);
    QCOMPARE(after.fen, before.fen + 425);
    QCOMPARE(list["page"].toObject()["pmax"].toInt(), (after.count + 9) / 10);
    // Newest first: each refund record carries its own amount and the order it belongs to.
    const QJsonObject newest = list["0"].toObject();
    QCOMPARE(newest["out_trade_no"], wechat["out_trade_no"]);
    QCOMPARE(newest["refunds"].toString(), QStringLiteral("50"));
    QCOMPARE(newest["total_fee"].toString(), QStringLiteral("2000"));
    QCOMPARE(newest["payt"].toString(), QStringLiteral("Kesto"));
    QCOMPARE(newest["device_info"].toString(), QStringLiteral("收银台2"));
    QCOMPARE(list["1"].toObject()["transaction_id"], alipay["transaction_id"]);
    QCOMPARE(list["1"].toObject()["refunds"].toString(), QStringLiteral("225"));
    QCOMPARE(list["2"].toObject()["refunds"].toString(), QStringLiteral("150"));

    // The payment record shows the order's refunded total.
    const QJsonObject payments = m_server
                                     ->post(report, {{"device", Demo::secondDevice},
                                                     {"startime", Demo::today()},
                                                     {"endtime", Demo::today()},
                                                     {"paytype", "payport"},
                                                     {"p", "1"}})["list"]
                                     .toObject();
    QCOMPARE(payments["0"].toObject()["out_trade_no"], alipay["out_trade_no"]);
    QCOMPARE(payments["0"].toObject()["refunds"].toString(), QStringLiteral("225"));
    QCOMPARE(payments["1"].toObject()["refunds"].toString(), QStringLiteral("200"));
}

QTEST_GUILESS_MAIN(RefundsTest)
#include "tst_refunds.moc"
