#include "captureserver.h"
#include "messagecatcher.h"
#include "paymentserver.h"
#include "refund/wxrefunds.h"
#include "rows.h"
#include "service/wxnetwork.h"
#include "shell/settingsstore.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>

namespace {

const QString Lookup = "/index.php/Pay/Payinterface/GetOrders";
const QString WeChatRefund = "/index.php/Pay/Payinterface/mrefunding";
const QString AliRefund = "/index.php/pay/Payinterface/alirefunds";

void configure(const QString &server)
{
    SettingsStore config;
    config.write("server", server);
    config.write("username", "demo");
    config.write("password", "demo123");
    config.write("device", "1_前台");
    config.write("jm_title", "演示商户");
}

// A cashier at the refund window, with a scanner.
struct Desk
{
    wxRefunds window;
    MessageCatcher boxes;

    Desk()
    {
        window.ShowDialog();
        // Shown and active, as the cashier meets it; the key tests below fail if it is not.
        const bool active = QTest::qWaitForWindowActive(&window);
        Q_UNUSED(active)
    }
    QLineEdit *codes() { return window.findChild<QLineEdit *>("m_Codes"); }
    QLineEdit *amount() { return window.findChild<QLineEdit *>("m_refund"); }
    QPushButton *button() { return window.findChild<QPushButton *>("Button_Save"); }
    QString label(const char *name) { return window.findChild<QLabel *>(name)->text(); }
    void scan(const QString &code)
    {
        codes()->setFocus();
        codes()->selectAll();
        QTest::keyClicks(codes(), code, Qt::NoModifier, 2);
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(window.focusWidget(), key, modifiers);
    }
    // Scans, waits for the order, and refunds the amount typed with a click.
    void refund(const QString &code, const QString &typed)
    {
        amount()->clear();
        scan(code);
        QTRY_VERIFY(!amount()->text().isEmpty());
        QCOMPARE(window.height(), 411);
        amount()->setText(typed);
        QTest::mouseClick(button(), Qt::LeftButton);
    }
    QString lastBox() { return boxes.messages.isEmpty() ? QString() : boxes.messages.last(); }
};

int count(const CaptureServer &capture, const QString &path)
{
    int n = 0;
    for (const CaptureServer::Request &request : capture.requests())
        n += request.path == path;
    return n;
}

QByteArray order(const QString &payt, const QString &fen)
{
    return QString(R"({"call":{"msg":"查询成功","out_trade_no":"100000000000000007","total_fee":"%2",)"
                   R"("device_info":"前台","transaction_id":"4200&1","payt":"%1"}})")
        .arg(payt, fen)
        .toUtf8();
}

} // namespace

class TestWxRefunds : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_Server.isRunning());
        configure(m_Server.baseUrl());
    }

    // Refunds against the payment service, in parts and refused, on both channels. (A WeChat Pay
    // refund in two parts, then refused, is in the end-to-end run.)
    void refunds_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QStringList>("refunds"); // each: amount typed, then the message shown
        const QString done = "提示|退款成功";
        row("Alipay in two parts, then nothing left", "AliPay", "284567890123456802", "12.5",
            QStringList{"5", done, "7.5", done, "-", "错误|该订单已全额退款"});
        row("WeChat Pay: one fen too many, then more than is left", "kesto", "134567890123456803", "12.5",
            QStringList{"12.51", "错误|退款金额不能大于订单金额", "10", done, "12.5",
                        "提示|退款失败:退款金额超过可退金额（可退2.50元）"});
    }
    void refunds()
    {
        QFETCH(QString, path);
        QFETCH(QString, code);
        QFETCH(QString, price);
        QFETCH(QStringList, refunds);
        const QString orderNo = pay(path, code, price);
        QVERIFY(!orderNo.isEmpty());
        Desk desk;
        QScreen *screen = QGuiApplication::primaryScreen();
        for (int i = 0; i < refunds.size(); i += 2) {
            const int before = desk.boxes.messages.size();
            if (refunds[i] == "-") {
                desk.scan(orderNo);
            } else {
                desk.refund(orderNo, refunds[i]);
                if (i == 0) {
                    QCOMPARE(desk.label("total_fee"), "支付金额：￥" + price);
                    QCOMPARE(desk.label("payt"),
                             "支付方式：" + QString(path == "kesto" ? "Kesto" : "AliPay"));
                }
            }
            QTRY_COMPARE(desk.boxes.messages.size(), before + 1);
            QCOMPARE(desk.lastBox(), refunds[i + 1]);
            const bool ok = refunds[i + 1] == "提示|退款成功";
            QCOMPARE(desk.boxes.icons.last(), ok ? QMessageBox::Information : QMessageBox::Critical);
            if (ok || refunds[i] == "-") {
                // Folded, centred on the desktop, ready for the next scan.
                QTRY_COMPARE(desk.window.height(), 105);
                QCOMPARE(desk.window.geometry().center().x(), screen->virtualGeometry().center().x());
                QTRY_COMPARE(QApplication::focusWidget(), desk.codes());
            }
        }
    }

    // The scanner's Return must never refund, whether the lookup answers before or after it;
    // a settled key refunds once, and neither a second key nor a click sends another refund.
    void keysAndClicks_data()
    {
        QTest::addColumn<int>("lookupDelayMs");
        row("lookup answers before the Return", 0);
        row("lookup answers after the Return", 150);
    }
    void keysAndClicks()
    {
        QFETCH(int, lookupDelayMs);
        CaptureServer capture;
        capture.setReply(Lookup, {200, order("AliPay", "1250"), "application/json", lookupDelayMs});
        capture.setReply(AliRefund, {200, R"({"call":{"msg":"退款成功"}})", "application/json", 500});
        configure(capture.url(""));
        Desk desk;
        desk.key(Qt::Key_Enter, Qt::KeypadModifier);
        QTest::mouseClick(desk.button(), Qt::LeftButton);
        QCOMPARE(desk.lastBox(), "错误|请先扫描订单号");

        desk.scan("100000000000000007");
        desk.key(Qt::Key_Return);
        QTRY_COMPARE(desk.window.height(), 411);
        desk.key(Qt::Key_Return);
        QTest::qWait(400);
        QCOMPARE(count(capture, AliRefund), 0);

        desk.key(Qt::Key_Return);
        QCOMPARE(desk.button()->text(), "退款中");
        desk.key(Qt::Key_Enter, Qt::KeypadModifier);
        QTest::mouseClick(desk.button(), Qt::LeftButton);
        QTRY_COMPARE(desk.lastBox(), "提示|退款成功");
        QCOMPARE(count(capture, AliRefund), 1);
        QCOMPARE(count(capture, Lookup), 1);
        const CaptureServer::Request refund = capture.requests().last();
        QCOMPARE(refund.body,
                 "username=demo&password=demo123&trade_no=4200%261&device=%E5%89%8D%E5%8F%B0&refmoney=12.5");
        configure(m_Server.baseUrl());
    }

    // Replies that come late, or not at all, never act on the order now on screen.
    void lostAndLateReplies_data()
    {
        QTest::addColumn<QByteArray>("refundReply");
        QTest::addColumn<bool>("reopened");
        QTest::addColumn<QString>("message");
        row("service gone mid-refund", QByteArray("<html>502 Bad Gateway</html>"), false,
            "提示|网络异常，退款结果未知，请在退款记录中核实");
        row("success after the window was reopened", QByteArray(R"({"call":{"msg":"退款成功"}})"), true,
            "提示|订单100000000000000007退款成功");
        row("failure after the window was reopened", QByteArray(R"({"call":{"msg":"<b>余额不足</b>"}})"),
            true, "提示|订单100000000000000007退款失败:<b>余额不足</b>");
    }
    void lostAndLateReplies()
    {
        QFETCH(QByteArray, refundReply);
        QFETCH(bool, reopened);
        QFETCH(QString, message);
        CaptureServer capture;
        capture.setReply(Lookup, {200, order("Kesto", "1234567")});
        capture.setReply(WeChatRefund, {200, refundReply, "application/json", 400});
        configure(capture.url(""));
        Desk desk;
        desk.refund("100000000000000007", "12345.67");
        if (reopened) {
            desk.window.ShowDialog();
            QCOMPARE(desk.button()->text(), "退款中");
            desk.codes()->setText("100000000000000008");
        }
        QTest::mouseClick(desk.button(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(desk.lastBox(), message, 3000);
        QCOMPARE(count(capture, WeChatRefund), 1);
        // The refund and the reopened window's lookup travel at the same time, so the refund is
        // found by its path rather than by the order of arrival.
        const QVector<CaptureServer::Request> requests = capture.requests();
        const auto refund =
            std::find_if(requests.begin(), requests.end(),
                         [](const CaptureServer::Request &r) { return r.path == WeChatRefund; });
        QVERIFY(refund != requests.end());
        QCOMPARE(refund->fields.value("total_fee"), "12345.67");
        QCOMPARE(desk.button()->text(), "退款");
        // The order is forgotten when the outcome is unknown; a reopened window keeps its order.
        QCOMPARE(desk.window.height(), reopened ? 411 : 105);
        QCOMPARE(desk.codes()->text(), reopened ? "100000000000000008" : "100000000000000007");
        configure(m_Server.baseUrl());
    }

    void unknownOrderThenNewScanAndEscape()
    {
        Desk desk;
        desk.scan("999999999999999999");
        QTRY_COMPARE(desk.lastBox(), "错误|订单不存在：999999999999999999");
        QCOMPARE(desk.codes()->selectedText(), "999999999999999999");
        const QString orderNo = pay("kesto", "134567890123456805", "3");
        desk.scan(orderNo);
        QTRY_COMPARE(desk.window.height(), 411);
        desk.window.KeyShow();
        QVERIFY(desk.window.isHidden());
        desk.window.KeyShow();
        QCOMPARE(desk.window.height(), 105);
        QCOMPARE(desk.codes()->text(), "");
        desk.key(Qt::Key_Escape);
        QVERIFY(desk.window.isHidden());
    }

private:
    // A payment made at the till, so that there is an order to refund.
    QString pay(const QString &path, const QString &code, const QString &price)
    {
        WxNetwork network;
        QSignalSpy replied(&network, &WxNetwork::Replied);
        network.sendTo(m_Server.baseUrl() + "/index.php/Pay/Payinterface/" + path,
                       "username=demo&password=demo123&codes=" + code + "&price=" + price + "&drive=1_前台");
        if (!replied.wait(5000))
            return QString();
        return replied.at(0).at(1).toJsonObject()["call"].toObject()["out_trade_no"].toString();
    }

    PaymentServer m_Server;
};

QTEST_MAIN(TestWxRefunds)
#include "tst_wxrefunds.moc"
