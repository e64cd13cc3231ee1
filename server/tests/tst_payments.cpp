// Payments on both channels, their scenarios and refusals, the queries and the order lookup.

#include "TestServer.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QtTest>
#include <future>

namespace {

const std::string kesto = TestServer::payInterface + "kesto";
const std::string aliPay = TestServer::payInterface + "AliPay";

bool isDigits(const QString &text, int length)
{
    return QRegularExpression(QStringLiteral("^\\d{%1}$").arg(length)).match(text).hasMatch();
}

} // namespace

class PaymentsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void payment_data();
    void payment();
    void refusedPayment_data();
    void refusedPayment();
    void codePaysOnce_data();
    void codePaysOnce();
    void confirmationAfterDelay_data();
    void confirmationAfterDelay();
    void refusedQuery_data();
    void refusedQuery();
    void orderLookup_data();
    void orderLookup();
    void refusedLookup();

private:
    QJsonObject pay(const std::string &path, const QString &code, const QString &price,
                    const QString &drive = Demo::frontDevice) const
    {
        return m_server->post(path, {{"codes", code}, {"price", price}, {"drive", drive}})["call"].toObject();
    }

    // A fresh code of the given two-digit prefix that pays at once.
    QString freshCode(const QString &prefix)
    {
        return prefix + QString::number(++m_codes).rightJustified(16, QLatin1Char('7'));
    }

    std::unique_ptr<TestServer> m_server;
    int m_codes = 0;
};

void PaymentsTest::initTestCase()
{
    m_server = std::make_unique<TestServer>(QStringList{"--confirm-delay", "1", "--slow-reply", "1"});
    QVERIFY(m_server->isRunning());
}

void PaymentsTest::payment_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("msg");
    QTest::addColumn<QString>("payt");
    QTest::addColumn<QString>("deviceName");
    QTest::addColumn<QString>("fen");

    QTest::newRow("wechat paid") << "kesto"
                                 << "131000000000000001"
                                 << "12.5" << Demo::frontDevice << "支付成功"
                                 << "Kesto"
                                 << "前台"
                                 << "1250";
    QTest::newRow("alipay paid") << "AliPay"
                                 << "281000000000000001"
                                 << "0.01" << Demo::secondDevice << "支付成功"
                                 << "AliPay"
                                 << "收银台2"
                                 << "1";
    QTest::newRow("wechat waits") << "kesto"
                                  << "101000000000010000"
                                  << "3" << Demo::frontDevice << "等待用户验证密码"
                                  << "Kesto"
                                  << "前台"
                                  << "300";
    QTest::newRow("alipay waits") << "AliPay"
                                  << "301000000000010000"
                                  << "8.88" << Demo::frontDevice << "等待用户验证密码"
                                  << "AliPay"
                                  << "前台"
                                  << "888";
    QTest::newRow("wechat slow reply") << "kesto"
                                       << "141000000000017777"
                                       << "7.77" << Demo::frontDevice << "支付成功"
                                       << "Kesto"
                                       << "前台"
                                       << "777";
    QTest::newRow("wechat declined") << "kesto"
                                     << "151000000000019999"
                                     << "5" << Demo::frontDevice << "余额不足"
                                     << ""
                                     << ""
                                     << "";
    QTest::newRow("alipay declined") << "AliPay"
                                     << "251000000000019999"
                                     << "5" << Demo::frontDevice << "余额不足"
                                     << ""
                                     << ""
                                     << "";
    QTest::newRow("bare device id") << "kesto"
                                    << "121000000000000002"
                                    << "100"
                                    << "2"
                                    << "支付成功"
                                    << "Kesto"
                                    << "收银台2"
                                    << "10000";
    QTest::newRow("device name") << "AliPay"
                                 << "271000000000000002"
                                 << "0.50"
                                 << "前台"
                                 << "支付成功"
                                 << "AliPay"
                                 << "前台"
                                 << "50";
    QTest::newRow("encoded device") << "kesto"
                                    << "111000000000000002"
                                    << "1"
                                    << "2_%E6%94%B6%E9%93%B6%E5%8F%B02"
                                    << "支付成功"
                                    << "Kesto"
                                    << "收银台2"
                                    << "100";
}

void PaymentsTest::payment()
{
    QFETCH(QString, path);
    QFETCH(QString, code);
    QFETCH(QString, price);
    QFETCH(QString, drive);
    QFETCH(QString, msg);
    QFETCH(QString, payt);

    const bool heldBack = code.endsWith(QLatin1String("7777"));
    QElapsedTimer timer;
    timer.start();
    std::future<QJsonObject> reply = std::async(std::launch::async, [&] {
        return pay(TestServer::payInterface + path.toStdString(), code, price, drive);
    });
    if (heldBack) {
        // Another till is served while the reply is held back.
        QTest::qWait(300);
        QCOMPARE(pay(kesto, freshCode(QStringLiteral("13")), "1")["msg"].toString(),
                 QStringLiteral("支付成功"));
        QVERIFY(reply.wait_for(std::chrono::seconds(0)) == std::future_status::timeout);
    }
    const QJsonObject call = reply.get();
    QVERIFY(!heldBack || timer.elapsed() >= 1000);
    QCOMPARE(call["msg"].toString(), msg);
    const QString tradeNo = call["out_trade_no"].toString();
    if (payt.isEmpty()) {
        QCOMPARE(tradeNo, QString());
        return;
    }
    QVERIFY2(isDigits(tradeNo, 18), qPrintable(tradeNo));
    QCOMPARE(call["payt"].toString(), payt);
    QTEST(call["total_fee"].toString(), "fen");
    QCOMPARE(call["mchname"].toString(), QStringLiteral("演示商户"));
    QCOMPARE(call["mchid"].toString(), QStringLiteral("10001"));
    QTEST(call["device_info"].toString(), "deviceName");
    if (msg == QStringLiteral("支付成功")) {
        const QDateTime paidAt =
            QDateTime::fromString(call["time_end"].toString(), QStringLiteral("yyyyMMddHHmmss"));
        QVERIFY2(paidAt.isValid(), qPrintable(call["time_end"].toString()));
        QVERIFY(qAbs(paidAt.secsTo(QDateTime::currentDateTime())) < 60);
    }
}

void PaymentsTest::refusedPayment_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("codeStaysUsable");

    QTest::newRow("alipay code on wechat") << "kesto"
                                           << "282000000000000001"
                                           << "1" << Demo::frontDevice << "支付宝付款码" << false;
    QTest::newRow("wechat code on alipay") << "AliPay"
                                           << "132000000000000001"
                                           << "1" << Demo::frontDevice << "微信付款码" << false;
    QTest::newRow("17 digits") << "kesto"
                               << "13200000000000001"
                               << "1" << Demo::frontDevice << "付款码无效" << false;
    QTest::newRow("19 digits") << "kesto"
                               << "1320000000000000011"
                               << "1" << Demo::frontDevice << "付款码无效" << false;
    QTest::newRow("letters") << "AliPay"
                             << "28200000000000000X"
                             << "1" << Demo::frontDevice << "付款码无效" << false;
    QTest::newRow("prefix 16") << "kesto"
                               << "162000000000000001"
                               << "1" << Demo::frontDevice << "付款码无效" << false;
    QTest::newRow("prefix 31") << "AliPay"
                               << "312000000000000001"
                               << "1" << Demo::frontDevice << "付款码无效" << false;
    QTest::newRow("no code") << "kesto"
                             << ""
                             << "1" << Demo::frontDevice << "付款码不能为空" << false;
    QTest::newRow("zero amount") << "kesto"
                                 << "132000000000000002"
                                 << "0" << Demo::frontDevice << "金额无效" << true;
    QTest::newRow("negative amount") << "kesto"
                                     << "132000000000000003"
                                     << "-5" << Demo::frontDevice << "金额无效" << true;
    QTest::newRow("three decimals") << "AliPay"
                                    << "282000000000000002"
                                    << "1.005" << Demo::frontDevice << "金额无效" << true;
    QTest::newRow("text amount") << "AliPay"
                                 << "282000000000000003"
                                 << "abc" << Demo::frontDevice << "金额无效" << true;
    QTest::newRow("no amount") << "kesto"
                               << "132000000000000004"
                               << "" << Demo::frontDevice << "金额无效" << true;
    QTest::newRow("unknown device") << "kesto"
                                    << "132000000000000005"
                                    << "1"
                                    << "9_仓库"
                                    << "设备不存在" << true;
    QTest::newRow("device name mismatch") << "AliPay"
                                          << "282000000000000005"
                                          << "1"
                                          << "1_收银台2"
                                          << "设备不存在" << true;
    QTest::newRow("no device") << "AliPay"
                               << "282000000000000004"
                               << "1"
                               << ""
                               << "未指定支付设备" << true;
}

void PaymentsTest::refusedPayment()
{
    QFETCH(QString, path);
    QFETCH(QString, code);
    QFETCH(QString, price);
    QFETCH(QString, drive);
    QFETCH(QString, message);
    QFETCH(bool, codeStaysUsable);

    const std::string fullPath = TestServer::payInterface + path.toStdString();
    const QJsonObject call = pay(fullPath, code, price, drive);
    QVERIFY2(call["msg"].toString().contains(message), qPrintable(call["msg"].toString()));
    QCOMPARE(call["out_trade_no"].toString(), QString());
    if (codeStaysUsable)
        QCOMPARE(pay(fullPath, code, QStringLiteral("1"))["msg"].toString(), QStringLiteral("支付成功"));
}

void PaymentsTest::codePaysOnce_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("code");
    QTest::newRow("paid wechat code") << "kesto"
                                      << "kesto"
                                      << "143000000000000001";
    QTest::newRow("paid alipay code") << "AliPay"
                                      << "AliPay"
                                      << "293000000000000001";
    QTest::newRow("waiting code") << "kesto"
                                  << "kesto"
                                  << "143000000000020000";
}

void PaymentsTest::codePaysOnce()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, code);
    const QJsonObject paid = pay(TestServer::payInterface + first.toStdString(), code, QStringLiteral("2"));
    QVERIFY(!paid["out_trade_no"].toString().isEmpty());
    const QJsonObject again = pay(TestServer::payInterface + second.toStdString(), code, QStringLiteral("2"));
    QVERIFY2(again["msg"].toString().contains(QStringLiteral("已使用")), qPrintable(again["msg"].toString()));
    QCOMPARE(again["out_trade_no"].toString(), QString());
}

void PaymentsTest::confirmationAfterDelay_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("queryPath");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("wechat") << "kesto"
                            << "wxQuery"
                            << "104000000000030000" << true;
    QTest::newRow("alipay") << "AliPay"
                            << "AliQuery"
                            << "264000000000030000" << true;
    QTest::newRow("wechat never") << "kesto"
                                  << "wxQuery"
                                  << "104000000000038888" << false;
    QTest::newRow("alipay never") << "AliPay"
                                  << "AliQuery"
                                  << "264000000000038888" << false;
}

void PaymentsTest::confirmationAfterDelay()
{
    QFETCH(QString, path);
    QFETCH(QString, queryPath);
    QFETCH(QString, code);
    QFETCH(bool, confirmed);

    const QJsonObject waiting =
        pay(TestServer::payInterface + path.toStdString(), code, QStringLiteral("6.6"));
    QCOMPARE(waiting["msg"].toString(), QStringLiteral("等待用户验证密码"));
    const QString tradeNo = waiting["out_trade_no"].toString();
    const std::string query = TestServer::payInterface + queryPath.toStdString();
    const Fields fields{{"out_trade_no", tradeNo}, {"drive", Demo::frontDevice}};

    const QJsonObject before = m_server->post(query, fields)["call"].toObject();
    QCOMPARE(before["msg"].toString(), QStringLiteral("等待用户验证密码"));
    QCOMPARE(before["out_trade_no"].toString(), tradeNo);
    const QJsonObject lookupBefore = m_server->post(
        TestServer::payInterface + "GetOrders", {{"out_trade_no", tradeNo}, {"device", Demo::frontDevice}});
    QCOMPARE(lookupBefore["call"].toObject()["out_trade_no"].toString(), QString());

    QTest::qWait(1300);
    const QJsonObject after = m_server->post(query, fields)["call"].toObject();
    QCOMPARE(after["out_trade_no"].toString(), tradeNo);
    if (!confirmed) {
        QCOMPARE(after["msg"].toString(), QStringLiteral("等待用户验证密码"));
        return;
    }
    QCOMPARE(after["msg"].toString(), QStringLiteral("支付成功"));
    QCOMPARE(after["total_fee"].toString(), QStringLiteral("660"));
    QCOMPARE(after["payt"], waiting["payt"]);
    QCOMPARE(after["mchname"].toString(), QStringLiteral("演示商户"));
    QVERIFY(isDigits(after["time_end"].toString(), 14));
}

void PaymentsTest::refusedQuery_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("tradeNo");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown number") << "wxQuery"
                                    << "209901010000000001" << Demo::frontDevice << "订单不存在";
    QTest::newRow("empty number") << "AliQuery"
                                  << "" << Demo::frontDevice << "订单号不能为空";
    QTest::newRow("wechat order on alipay") << "AliQuery"
                                            << "WECHAT" << Demo::frontDevice << "不是支付宝订单";
    QTest::newRow("alipay order on wechat") << "wxQuery"
                                            << "ALIPAY" << Demo::frontDevice << "不是微信支付订单";
    QTest::newRow("unknown device") << "wxQuery"
                                    << "WECHAT"
                                    << "7"
                                    << "设备不存在";
}

void PaymentsTest::refusedQuery()
{
    QFETCH(QString, path);
    QFETCH(QString, tradeNo);
    QFETCH(QString, drive);
    QFETCH(QString, message);

    if (tradeNo == QLatin1String("WECHAT"))
        tradeNo = pay(kesto, freshCode(QStringLiteral("13")), QStringLiteral("1"))["out_trade_no"].toString();
    else if (tradeNo == QLatin1String("ALIPAY"))
        tradeNo =
            pay(aliPay, freshCode(QStringLiteral("28")), QStringLiteral("1"))["out_trade_no"].toString();

    const QJsonObject call = m_server
                                 ->post(TestServer::payInterface + path.toStdString(),
                                        {{"out_trade_no", tradeNo}, {"drive", drive}})["call"]
                                 .toObject();
    QVERIFY2(call["msg"].toString().contains(message), qPrintable(call["msg"].toString()));
    QVERIFY(call["msg"].toString() != QStringLiteral("支付成功"));
}

void PaymentsTest::orderLookup_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("drive");
    QTest::addColumn<QString>("lookupDevice");
    QTest::addColumn<QString>("deviceName");

    QTest::newRow("wechat") << "kesto"
                            << "136000000000000001" << Demo::frontDevice << Demo::frontDevice << "前台";
    QTest::newRow("alipay") << "AliPay"
                            << "286000000000000001" << Demo::secondDevice << "2"
                            << "收银台2";
    QTest::newRow("alipay slow reply") << "AliPay"
                                       << "286000000000007777" << Demo::frontDevice << "1"
                                       << "前台";
    QTest::newRow("other device of the account")
        << "kesto"
        << "136000000000000002" << Demo::secondDevice << Demo::frontDevice << "收银台2";
}

void PaymentsTest::orderLookup()
{
    QFETCH(QString, path);
    QFETCH(QString, code);
    QFETCH(QString, drive);
    QFETCH(QString, lookupDevice);

    const QJsonObject paid =
        pay(TestServer::payInterface + path.toStdString(), code, QStringLiteral("19.99"), drive);
    QCOMPARE(paid["msg"].toString(), QStringLiteral("支付成功"));
    const QJsonObject call =
        m_server
            ->post(TestServer::payInterface + "GetOrders",
                   {{"out_trade_no", paid["out_trade_no"].toString()}, {"device", lookupDevice}})["call"]
            .toObject();
    QCOMPARE(call["out_trade_no"], paid["out_trade_no"]);
    QCOMPARE(call["total_fee"].toString(), QStringLiteral("1999"));
    QTEST(call["device_info"].toString(), "deviceName");
    QCOMPARE(call["transaction_id"], paid["transaction_id"]);
    QVERIFY(isDigits(call["transaction_id"].toString(), 28));
    QCOMPARE(call["payt"], paid["payt"]);
    QCOMPARE(call["time_end"], paid["time_end"]);
    QVERIFY(!call["msg"].toString().isEmpty());
}

void PaymentsTest::refusedLookup()
{
    const QJsonObject unknown = m_server
                                    ->post(TestServer::payInterface + "GetOrders",
                                           {{"out_trade_no", "209901010000000009"}, {"device", "1"}})["call"]
                                    .toObject();
    QCOMPARE(unknown["out_trade_no"].toString(), QString());
    QVERIFY(unknown["msg"].toString().contains(QStringLiteral("订单不存在")));

    const QJsonObject empty =
        m_server
            ->post(TestServer::payInterface + "GetOrders", {{"out_trade_no", ""}, {"device", "1"}})["call"]
            .toObject();
    QCOMPARE(empty["out_trade_no"].toString(), QString());
    QVERIFY(!empty["msg"].toString().isEmpty());
}

QTEST_GUILESS_MAIN(PaymentsTest)
#include "tst_payments.moc"
