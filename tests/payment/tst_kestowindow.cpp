#include "account.h"
#include "captureserver.h"
#include "database.h"
#include "messagecatcher.h"
#include "payment/kestowindow.h"
#include "payment/salesjournal.h"
#include "paymentserver.h"
#include "refund/wxrefunds.h"
#include "rows.h"
#include "shell/lookandfeel.h"
#include "shell/settingsstore.h"

#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSslConfiguration>
#include <QtTest>

#include <memory>

namespace {

const QString PaidReady = "支付成功，软件准备就绪...";
const QString Waiting = "等待用户验证密码";

// A cashier at the till: keypad clicks, keys, and a scanner that types a code.
struct Till
{
    KestoWindow window;

    Till()
    {
        window.show();
        QApplication::setActiveWindow(&window);
    }
    template <typename T> T *get(const char *name) { return window.findChild<T *>(name); }
    QLineEdit *money() { return get<QLineEdit>("m_Money"); }
    QLineEdit *codes() { return get<QLineEdit>("m_Codes"); }
    QString status() { return get<QLabel>("Tip_Status")->text(); }

    // The keypad's ids: digits, 10 the point, 11 the delete key; anything else is typed.
    void keypad(const QString &keys)
    {
        for (const QChar key : keys) {
            if (QAbstractButton *button = get<QButtonGroup>("")->button(QString("0123456789.<").indexOf(key)))
                QTest::mouseClick(button, Qt::LeftButton);
            else
                QTest::sendKeyEvent(QTest::Click, money(), Qt::Key_unknown, key, Qt::NoModifier);
        }
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    void charge(const QString &amount, Qt::Key channel = Qt::Key_W)
    {
        key(channel, Qt::ControlModifier);
        keypad(amount);
        key(Qt::Key_Return);
    }
    // The scanner types into whatever has the focus, a few milliseconds a character.
    void scan(const QString &code) { QTest::keyClicks(QApplication::focusWidget(), code, Qt::NoModifier, 2); }
};

// A till that prints nothing and confirms only on F12.
void configure(const QString &server)
{
    rememberAccount(server, {{"printname", ""}, {"autoquery", "0"}, {"autochannel", ""}});
}

// The till journal's last row: outcome, masked code, and how many rows its trade has.
QString lastJournalRow()
{
    return valueOf(
        SalesJournal::defaultPath(),
        "SELECT outcome || '|' || code || '|' || (SELECT COUNT(*) FROM entries e WHERE e.trade_no ="
        " l.trade_no AND l.trade_no != '') FROM entries l ORDER BY id DESC LIMIT 1");
}

} // namespace

class TestKestoWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        QVERIFY(m_Server->isRunning());
        // Trade numbers of a fresh service begin again at the first; a run cut short may have left
        // the folder that stands for an unwritable journal.
        QDir().rmdir(SalesJournal::defaultPath());
        for (const QString &suffix : {"", "-wal", "-shm"})
            QFile::remove(SalesJournal::defaultPath() + suffix);
        configure(m_Server->baseUrl());
    }

    void keypadAndAmountCheck_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("status");
        const QString accepted = "等待输入条形码...", refused = "金额格式不正确！";
        row("a second leading zero is ignored", "00.501<", "0.5", accepted);
        row("empty", "<", "", "金额不能空！");
        row("a code fired into the amount", "134567890123456789", "134567890123456789", refused);
        row("typed in full width", "１２．５", "12.5", accepted);
        row("ideographic full stop", "１２。５", "12.5", accepted);
    }
    void keypadAndAmountCheck()
    {
        QFETCH(QString, keys);
        QFETCH(QString, amount);
        QFETCH(QString, status);
        Till till;
        till.charge(keys);
        QCOMPARE(till.money()->text(), amount);
        QCOMPARE(till.status(), status);
        const bool accepted = status == "等待输入条形码...";
        QCOMPARE(till.codes()->isVisible(), accepted);
        QCOMPARE(QApplication::focusWidget(), accepted ? till.codes() : till.money());
        // An accepted amount is the amount charged: the keypad no longer changes it.
        if (accepted) {
            till.keypad("1");
            QCOMPARE(till.money()->text(), amount);
        }
    }

    // Every request carries the password: over https, a certificate of an unknown authority fails
    // like a broken line, never silently accepted; once the authority is trusted, the sale is made.
    void saleOverTls()
    {
        QTemporaryDir dir;
        const QString cert = dir.filePath("cert.pem"), key = dir.filePath("key.pem");
        QCOMPARE(QProcess::execute("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                                               "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key,
                                               "-out", cert, "-days", "1", "-subj", "/CN=127.0.0.1",
                                               "-addext", "subjectAltName=IP:127.0.0.1"}),
                 0);
        PaymentServer https({"--tls-cert", cert, "--tls-key", key});
        QVERIFY(https.baseUrl().startsWith("https://"));
        configure(https.baseUrl());
        for (const QString &code : {"134567890123456905", "134567890123456906"}) {
            Till till;
            till.charge("12.5");
            till.scan(code);
            QTRY_COMPARE_WITH_TIMEOUT(
                till.status(), code.endsWith('5') ? "网络异常，支付结果未知，请在支付报表中核实" : PaidReady,
                10000);
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            tls.setCaCertificates(tls.caCertificates() + QSslCertificate::fromPath(cert));
            QSslConfiguration::setDefaultConfiguration(tls);
        }
        configure(m_Server->baseUrl());
    }

    // A journal that cannot be written is said once and never stops a sale.
    void journalUnwritable()
    {
        const QString path = SalesJournal::defaultPath();
        for (const QString &suffix : {"", "-wal", "-shm"})
            QFile::remove(path + suffix);
        // A folder where the file belongs: file modes alone do not stop the root user these tests run as.
        QVERIFY(QDir().mkdir(path));
        Till till;
        for (const QString &code : {"134567890123466801", "134567890123466802"}) {
            till.charge("1");
            till.scan(code);
            QTRY_COMPARE(till.status(), PaidReady + (code.endsWith('1') ? "（本机交易流水无法写入）" : ""));
        }
        QVERIFY(QDir().rmdir(path));
    }

    // The shift summary adds up this till's sales by channel and its refunds; a sale never confirmed
    // is listed by its amount.
    void shiftSummary()
    {
        SalesJournal journal;
        QVERIFY(journal.startShift(QDateTime::currentDateTime()));
        QTest::qWait(5);
        Till till;
        for (const QString &sale :
             {"12.5 134567890123480001", "8.8 284567890123480002", "3 134567890123488888"}) {
            till.charge(sale.section(' ', 0, 0));
            till.scan(sale.section(' ', 1));
            QTRY_VERIFY(till.status() == PaidReady || till.status() == Waiting);
            till.key(Qt::Key_Escape);
        }
        // The slip is computed before the refund; the next shift starts there and has the refund.
        const ShiftSummary slip = journal.summary();
        MessageCatcher boxes;
        wxRefunds refunds;
        refunds.ShowDialog();
        refunds.findChild<QLineEdit *>("m_Codes")->setText(valueOf(
            SalesJournal::defaultPath(), "SELECT trade_no FROM entries WHERE code = '1345**********0001'"));
        QTRY_VERIFY(!refunds.findChild<QLineEdit *>("m_refund")->text().isEmpty());
        refunds.findChild<QLineEdit *>("m_refund")->setText("5.01");
        QTest::mouseClick(refunds.findChild<QPushButton *>("Button_Save"), Qt::LeftButton);
        QTRY_COMPARE(boxes.messages, QStringList{"提示|退款成功"});
        QVERIFY(refunds.height() < 411); // the refunded order leaves the screen
        QVERIFY(journal.startShift(slip.until));
        QCOMPARE(journal.summary().refunds.fen, 501);
        const QVector<qint64> figures{slip.wechat.count,   slip.wechat.fen,          slip.alipay.count,
                                      slip.alipay.fen,     slip.refunds.count,       slip.refunds.fen,
                                      slip.unknown.size(), slip.unknown.value(0).fen};
        QCOMPARE(figures, (QVector<qint64>{1, 1250, 1, 880, 0, 0, 1, 300}));
    }

    // What the service receives: every value percent-encoded, fields in the service's order.
    void requestBodies()
    {
        CaptureServer capture;
        capture.setReply("/index.php/Pay/Payinterface/AliPay",
                         {200, R"({"call":{"msg":"等待用户验证密码","out_trade_no":"T&1","payt":"AliPay"}})",
                          "application/json", 300});
        capture.setReply("/index.php/Pay/Payinterface/AliQuery", {200, R"({"call":{"msg":"<b>x</b>"}})"});
        capture.setReply("/index.php/Pay/Payinterface/kesto",
                         {200, R"({"call":{"msg":"等待用户验证密码"}})"});
        configure(capture.url(""));
        SettingsStore().write("password", "p&w=1");
        Till till;
        till.charge("0.5", Qt::Key_W);
        till.scan("28456789012345678");
        QTest::qWait(100);
        QCOMPARE(capture.requests().size(), 0);
        till.scan("9");
        QCOMPARE(till.status(), "已切换为支付宝，支付中...");
        // The sale is in the journal before its request reaches the service.
        QTRY_COMPARE(capture.requests().size(), 1);
        QCOMPARE(lastJournalRow(), "unknown|2845**********6789|0");
        QTRY_COMPARE(till.status(), Waiting);
        till.key(Qt::Key_F12);
        QTRY_COMPARE(till.status(), QString("<b>x</b>").toHtmlEscaped());
        // A query's error answer says nothing about the payment.
        QCOMPARE(lastJournalRow(), "waiting|2845**********6789|1");

        // A code of neither channel goes to the one selected, as does every code with the switch off.
        for (const QString &code : {"994567890123456789", "284567890123456780"}) {
            till.key(Qt::Key_Escape);
            till.charge("0.5", Qt::Key_W);
            till.scan(code);
            QTRY_COMPARE(till.status(), Waiting);
            SettingsStore().write("autochannel", "0");
        }
        // An answer that names no channel is asked about on the sale's own.
        till.key(Qt::Key_F12);
        QTRY_COMPARE(capture.requests().size(), 5);

        const QVector<CaptureServer::Request> requests = capture.requests();
        QCOMPARE(requests[2].path + requests[3].path + requests[4].path,
                 "/index.php/Pay/Payinterface/kesto/index.php/Pay/Payinterface/kesto"
                 "/index.php/Pay/Payinterface/wxQuery");
        // An Alipay code scanned with WeChat Pay selected goes to Alipay.
        QCOMPARE(requests[0].path, "/index.php/Pay/Payinterface/AliPay");
        QCOMPARE(requests[0].body,
                 "username=demo&password=p%26w%3D1&codes=284567890123456789&price=0.5&drive=1_"
                 "%E5%89%8D%E5%8F%B0");
        QCOMPARE(requests[1].path, "/index.php/Pay/Payinterface/AliQuery");
        QVERIFY2(requests[1].body.endsWith("&out_trade_no=T%261&drive=1_%E5%89%8D%E5%8F%B0"),
                 requests[1].body);
        configure(m_Server->baseUrl());
    }

private:
    std::unique_ptr<PaymentServer> m_Server =
        std::make_unique<PaymentServer>(QStringList{"--confirm-delay", "1"});
};

QTEST_MAIN(TestKestoWindow)
#include "tst_kestowindow.moc"
