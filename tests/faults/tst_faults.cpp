#include "database.h"
#include "faultproxy.h"
#include "messagecatcher.h"
#include "payment/kestowindow.h"
#include "paymentserver.h"
#include "refund/wxrefunds.h"
#include "rows.h"
#include "service/wxnetwork.h"
#include "shell/settingsstore.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTemporaryDir>

#include <memory>

Q_DECLARE_METATYPE(FaultProxy::Fault)

namespace {

const QString Unknown = "网络异常，支付结果未知，请在支付报表中核实";
const QString RefundUnknown = "提示|网络异常，退款结果未知，请在退款记录中核实";

} // namespace

// The program against the real service behind a proxy that breaks the line or the answers.
class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_Dir = std::make_unique<QTemporaryDir>();
        m_Server = std::make_unique<PaymentServer>(QStringList{"--db", database(), "--slow-reply", "1"});
        QVERIFY(m_Server->isRunning());
        m_Proxy = std::make_unique<FaultProxy>(QUrl(m_Server->baseUrl()).port());
        SettingsStore config;
        config.write("server", m_Proxy->url());
        config.write("username", "demo");
        config.write("password", "demo123");
        config.write("device", "1_前台");
    }
    void cleanup()
    {
        m_Proxy.reset();
        m_Server.reset();
    }

    void saleMeetsFault_data() { faultRows(); }
    void refundMeetsFault_data() { faultRows(); }
    // A sale that meets the fault keeps its window usable: cancelled, the next sale goes through.
    void saleMeetsFault()
    {
        QFETCH(FaultProxy::Fault, fault);
        QFETCH(QString, saleStatus);
        KestoWindow pay;
        pay.show();
        m_Proxy->setFault(fault);
        sell(pay, "134567890123456901");
        QLabel *status = pay.findChild<QLabel *>("Tip_Status");
        QTRY_COMPARE(m_Proxy->requests(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith(saleStatus), 15000);
        QVERIFY(status->text().size() < 300);

        m_Proxy->setFault(FaultProxy::Fault::None);
        QTest::keyClick(&pay, Qt::Key_Escape);
        sell(pay, "134567890123456902");
        QTRY_COMPARE(status->text(), "支付成功，软件准备就绪...");
        QCOMPARE(valueOf(database(), "SELECT COUNT(*) FROM orders WHERE code LIKE '13456789012345690_'"),
                 "1");
    }

    // A refund that meets the fault is reported and never sent twice; the order can be refunded
    // once the line is back.
    void refundMeetsFault()
    {
        QFETCH(FaultProxy::Fault, fault);
        QFETCH(QString, refundBox);
        const QString order = paidOrder("284567890123456903");
        MessageCatcher boxes;
        wxRefunds refund;
        refund.ShowDialog();
        QLineEdit *code = refund.findChild<QLineEdit *>("m_Codes");
        QPushButton *button = refund.findChild<QPushButton *>("Button_Save");
        code->setText(order);
        QTRY_COMPARE(refund.height(), 411);
        m_Proxy->setFault(fault);
        const int before = m_Proxy->requests();
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(button, Qt::LeftButton);
        if (fault == FaultProxy::Fault::Hang) {
            QTest::qWait(300);
            QCOMPARE(button->text(), "退款中");
            QCOMPARE(m_Proxy->requests(), before + 1);
            return;
        }
        if (refundBox.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(!boxes.messages.isEmpty() && boxes.messages[0].size() < 300, 15000);
        else
            QTRY_COMPARE_WITH_TIMEOUT(boxes.messages.value(0), refundBox, 15000);
        QCOMPARE(m_Proxy->requests(), before + 1);

        m_Proxy->setFault(FaultProxy::Fault::None);
        code->clear();
        code->setText(order);
        QTRY_COMPARE(refund.height(), 411);
        refund.findChild<QLineEdit *>("m_refund")->setText("0.01");
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(boxes.messages.last(), "提示|退款成功");
        QCOMPARE(valueOf(database(), "SELECT COUNT(*) || '/' || SUM(amount) FROM refunds r JOIN orders o ON "
                                     "o.id = r.order_id WHERE o.out_trade_no = '" +
                                         order + "'"),
                 "1/1");
    }

    // The service dies while it holds a payment's answer and comes back on the same database: the
    // outcome is reported as unknown, and the cashier's next sale is charged once.
    void serviceRestartsMidSale()
    {
        KestoWindow pay;
        pay.show();
        sell(pay, "134567890123457777");
        QTest::qWait(300);
        m_Server->kill();
        QLabel *status = pay.findChild<QLabel *>("Tip_Status");
        QTRY_COMPARE(status->text(), Unknown);

        m_Server = std::make_unique<PaymentServer>(QStringList{"--db", database()});
        m_Proxy->setUpstreamPort(QUrl(m_Server->baseUrl()).port());
        QTest::keyClick(&pay, Qt::Key_Escape);
        sell(pay, "134567890123456904");
        QTRY_COMPARE(status->text(), "支付成功，软件准备就绪...");
        QCOMPARE(valueOf(database(), "SELECT COUNT(*) FROM orders WHERE code = '134567890123457777'"), "1");
    }

    // Every request carries the password: over https the service's certificate must be trusted,
    // and one that is not fails like a broken line, never silently accepted.
    void saleOverTls_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("status");
        row("certificate of a trusted authority", true, "支付成功，软件准备就绪...");
        row("certificate of an unknown authority", false, Unknown);
    }
    void saleOverTls()
    {
        QFETCH(bool, trusted);
        QFETCH(QString, status);
        const QString dir = m_Dir->path();
        const auto openssl = [&dir](const QString &arguments) {
            return QProcess::execute(
                       "sh", {"-c", "cd '" + dir + "' && openssl " + arguments + " 2>/dev/null"}) == 0;
        };
        const QString key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        QVERIFY(openssl("req -x509 " + key + " -keyout ca.key -out ca.pem -days 1 -subj /CN=TestCA"));
        QVERIFY(openssl("req " + key + " -keyout server.key -out server.csr -subj /CN=127.0.0.1"));
        QVERIFY(QProcess::execute("sh", {"-c", "echo subjectAltName=IP:127.0.0.1 > '" + dir + "/san.cnf'"}) ==
                0);
        QVERIFY(openssl("x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 "
                        "-extfile san.cnf -out server.pem"));
        if (trusted) {
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            tls.setCaCertificates(tls.caCertificates() + QSslCertificate::fromPath(dir + "/ca.pem"));
            QSslConfiguration::setDefaultConfiguration(tls);
        }
        PaymentServer https({"--tls-cert", dir + "/server.pem", "--tls-key", dir + "/server.key"});
        QVERIFY(https.baseUrl().startsWith("https://"));
        SettingsStore().write("server", https.baseUrl());
        KestoWindow pay;
        sell(pay, trusted ? "134567890123456905" : "134567890123456906");
        QTRY_COMPARE_WITH_TIMEOUT(pay.findChild<QLabel *>("Tip_Status")->text(), status, 10000);
    }

private:
    static void faultRows()
    {
        QTest::addColumn<FaultProxy::Fault>("fault");
        QTest::addColumn<QString>("saleStatus");
        QTest::addColumn<QString>("refundBox");
        row("reset", FaultProxy::Fault::Reset, Unknown, RefundUnknown);
        row("error page", FaultProxy::Fault::HtmlPage, Unknown, RefundUnknown);
        row("array", FaultProxy::Fault::Array, Unknown, RefundUnknown);
        row("wrong types", FaultProxy::Fault::WrongTypes, Unknown, RefundUnknown);
        row("10 MB answer", FaultProxy::Fault::HugeBody, QString(40, 'x'), "");
        row("hang", FaultProxy::Fault::Hang, "支付中...", "");
    }

    QString database() const { return m_Dir->filePath("payment.db"); }

    void sell(KestoWindow &pay, const QString &code)
    {
        pay.findChild<QLineEdit *>("m_Money")->setText("12.5");
        pay.findChild<QPushButton *>("m_Pay")->click();
        pay.findChild<QLineEdit *>("m_Codes")->setText(code);
    }

    QString paidOrder(const QString &code)
    {
        WxNetwork network;
        QSignalSpy replied(&network, &WxNetwork::Replied);
        network.sendTo(m_Server->baseUrl() + "/index.php/Pay/Payinterface/AliPay",
                       "username=demo&password=demo123&codes=" + code + "&price=12.5&drive=1_前台");
        return replied.wait(5000)
                   ? replied.at(0).at(1).toJsonObject()["call"].toObject()["out_trade_no"].toString()
                   : QString();
    }

    std::unique_ptr<QTemporaryDir> m_Dir;
    std::unique_ptr<PaymentServer> m_Server;
    std::unique_ptr<FaultProxy> m_Proxy;
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
