#include "account.h"
#include "captureserver.h"
#include "messagecatcher.h"
#include "paymentserver.h"
#include "refund/wxrefunds.h"
#include "rows.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

namespace {

const QString Lookup = "/index.php/Pay/Payinterface/GetOrders";
const QString WeChatRefund = "/index.php/Pay/Payinterface/mrefunding";
const QString AliRefund = "/index.php/pay/Payinterface/alirefunds";

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
        prefilled = amount()->text();
        QCOMPARE(window.height(), 411);
        amount()->setText(typed);
        QTest::mouseClick(button(), Qt::LeftButton);
    }
    QString lastBox() { return boxes.messages.isEmpty() ? QString() : boxes.messages.last(); }
    QString prefilled;
};

QByteArray order(const QString &payt, const QString &fen, const QString &number = "100000000000000007")
{
    return QString(R"({"call":{"msg":"查询成功","out_trade_no":"%3","total_fee":"%2","refunds":"0",)"
                   R"("device_info":"前台","transaction_id":"4200&1","payt":"%1"}})")
        .arg(payt, fen, number)
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
        rememberAccount(m_Server.baseUrl());
    }

    // Against the payment service: an unknown order, then an order refunded in two parts, one fen
    // too many refused before it is sent, and nothing left afterwards. (Both channels' refunds at
    // the service are in its own test, Alipay's request below.)
    void refundsInParts()
    {
        Desk desk;
        desk.scan("999999999999999999");
        QTRY_COMPARE(desk.lastBox(), "错误|订单不存在：999999999999999999");
        QCOMPARE(desk.codes()->selectedText(), "999999999999999999");
        const QString orderNo = m_Server.paidOrder("kesto", "134567890123456803", "12.5");
        const QString done = "提示|退款成功", tooMuch = "错误|退款金额不能大于订单金额";
        const QStringList steps{"12.51", tooMuch,
                                "10",    done,
                                "3",     "错误|退款金额超过可退金额 ￥2.5",
                                "2.5",   done,
                                "",      "错误|该订单已全额退款"};
        for (int i = 0; i < steps.size(); i += 2) {
            const int before = desk.boxes.messages.size();
            if (steps[i].isEmpty())
                desk.scan(orderNo);
            else
                desk.refund(orderNo, steps[i]);
            if (i == 0)
                QCOMPARE(desk.label("total_fee") + desk.label("payt"), "支付金额：￥12.5支付方式：Kesto");
            if (i == 4)
                QCOMPARE(desk.label("total_fee") + desk.prefilled, "支付金额：￥12.5 （已退 ￥10）2.5");
            QTRY_COMPARE(desk.boxes.messages.size(), before + 1);
            QCOMPARE(desk.lastBox(), steps[i + 1]);
            QCOMPARE(desk.boxes.icons.last(),
                     steps[i + 1] == done ? QMessageBox::Information : QMessageBox::Critical);
            if (!steps[i + 1].startsWith("错误|退款金额")) {
                // Folded, centred on the desktop, ready for the next scan.
                QTRY_COMPARE(desk.window.height(), 105);
                QCOMPARE(desk.window.geometry().center().x(),
                         QGuiApplication::primaryScreen()->virtualGeometry().center().x());
                QTRY_COMPARE(QApplication::focusWidget(), desk.codes());
            }
        }
        desk.key(Qt::Key_Escape);
        QVERIFY(desk.window.isHidden());
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
        rememberAccount(capture.url(""));
        Desk desk;
        desk.key(Qt::Key_Enter, Qt::KeypadModifier);
        QTest::mouseClick(desk.button(), Qt::LeftButton);
        QCOMPARE(desk.lastBox(), "错误|请先扫描订单号");

        desk.scan("100000000000000007");
        desk.key(Qt::Key_Return);
        QTRY_COMPARE(desk.window.height(), 411);
        desk.key(Qt::Key_Return);
        QTest::qWait(400);
        QCOMPARE(capture.requests(AliRefund).size(), 0);

        desk.key(Qt::Key_Return);
        QCOMPARE(desk.button()->text(), "退款中");
        desk.key(Qt::Key_Enter, Qt::KeypadModifier);
        QTest::mouseClick(desk.button(), Qt::LeftButton);
        QTRY_COMPARE(desk.lastBox(), "提示|退款成功");
        QCOMPARE(capture.requests(AliRefund).size(), 1);
        QCOMPARE(capture.requests(Lookup).size(), 1);
        const CaptureServer::Request refund = capture.requests().last();
        QCOMPARE(refund.body,
                 "username=demo&password=demo123&trade_no=4200%261&device=%E5%89%8D%E5%8F%B0&refmoney=12.5");
        rememberAccount(m_Server.baseUrl());
    }

    // A late refund answer folds the window for its order scanned again, or names its order and leaves
    // another one alone; no second refund meanwhile. WeChat Pay sends the total as exact yuan text.
    void lateReply_data()
    {
        QTest::addColumn<QString>("rescan");
        row("the same order scanned again", "100000000000000007");
        row("another order", "100000000000000008");
    }
    void lateReply()
    {
        QFETCH(QString, rescan);
        CaptureServer capture;
        for (const QString &number : {"100000000000000007", "100000000000000008"})
            capture.setReply(Lookup, {200, order("Kesto", "1234567", number)}, number.toUtf8());
        capture.setReply(WeChatRefund, {200, R"({"call":{"msg":"退款成功"}})", "application/json", 600});
        rememberAccount(capture.url(""));
        Desk desk;
        desk.refund("100000000000000007", "12345.67");
        desk.window.ShowDialog();
        QCOMPARE(desk.button()->text(), "退款中");
        desk.scan(rescan);
        QTRY_COMPARE(desk.window.height(), 411);
        QTest::mouseClick(desk.button(), Qt::LeftButton);
        QCOMPARE(desk.lastBox(), "提示|上一笔退款处理中，请稍候");
        const bool same = rescan.endsWith('7');
        QTRY_COMPARE_WITH_TIMEOUT(desk.lastBox(),
                                  same ? "提示|退款成功" : "提示|订单100000000000000007退款成功", 3000);
        QCOMPARE(capture.requests(WeChatRefund).size(), 1);
        QVERIFY(capture.requests(WeChatRefund)[0].body.contains("&total_fee=12345.67&"));
        QCOMPARE(desk.button()->text(), "退款");
        QCOMPARE(desk.window.height(), same ? 105 : 411);
        QCOMPARE(desk.codes()->selectedText(), same ? rescan : QString());
        rememberAccount(m_Server.baseUrl());
    }

private:
    PaymentServer m_Server;
};

QTEST_MAIN(TestWxRefunds)
#include "tst_wxrefunds.moc"
