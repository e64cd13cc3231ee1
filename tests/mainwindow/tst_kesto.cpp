#include "captureserver.h"
#include "mainwindow/kesto.h"
#include "messagecatcher.h"
#include "rows.h"
#include "runningkesto.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

namespace {

using Settings = QMap<QString, QString>;

const QString Report = "/index.php/Pay/Payinterface/mreport";
const QByteArray TwoRecords = R"({"list":{"page":{"np":1,"pmax":3},"total":{"tongji":"共2笔 合计￥13.5"},
    "0":{"id":"7","payt":"Kesto","device_info":"前台","total_fee":"1250","refunds":"0",
         "out_trade_no":"100000000000000007","transaction_id":"420000000007","time_end":"20160305142233"},
    "1":{"id":"8","payt":"AliPay","device_info":"前台","total_fee":"100","refunds":"50",
         "out_trade_no":"100000000000000008","transaction_id":"2016000008","time_end":"20160305150000"}}})";

} // namespace

// The main window without a notification area: the start-up decision and the records view.
class TestKesto : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    }
    void cleanup() { m_Kesto.stop(); }

    // The sign-in page, the device page or no dialog at all; without a tray the records view then
    // stands in, with the tray's entries in its menu bar.
    void startupDecision_data()
    {
        QTest::addColumn<Settings>("settings"); // over a remembered account and device
        QTest::addColumn<QString>("page");
        row("first run", Settings{{"username", ""}, {"password", ""}, {"remeber", ""}, {"device", ""}},
            "m_Login");
        row("account not remembered", Settings{{"remeber", "0"}}, "m_Login");
        row("remembered without password", Settings{{"password", ""}}, "m_Login");
        row("remembered, no device", Settings{{"device", ""}}, "m_Devices");
        row("remembered with device", Settings{}, "");
    }
    void startupDecision()
    {
        QFETCH(Settings, settings);
        QFETCH(QString, page);
        Kesto *kesto = m_Kesto.start(settings);
        QWidget *signin = RunningKesto::window("WxSignin");
        QCOMPARE(signin->isVisible(), !page.isEmpty());
        if (!page.isEmpty()) {
            QCOMPARE(signin->findChild<QPushButton *>("m_Login")->isVisible(), page == "m_Login");
            QCOMPARE(signin->findChild<QComboBox *>("m_Devices")->isVisible(), page == "m_Devices");
            QVERIFY(signin->findChild<QPushButton *>("m_Exit")->isVisible());
            QVERIFY(!kesto->isVisible());
            return;
        }
        QVERIFY(kesto->isVisible() && kesto->isMaximized());
        QCOMPARE(kesto->windowTitle(), QString("演示商户"));
        QMenu *menu = kesto->findChild<QMenu *>("m_TrayMenu");
        QVERIFY(kesto->menuBar()->actions().contains(menu->menuAction()));
        QStringList entries;
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                entries << action->iconText();
        }
        QCOMPARE(entries, (QStringList{"线下支付", "线下退款", "支付报表", "交班小结", "软件设置", "更换账号",
                                       "更换设备", "退出软件(&X)"}));
    }

    // What the records view asks for, its paging and its kinds. The user request's reply comes
    // after the first page and once wiped it.
    void requestsAndPaging()
    {
        const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        CaptureServer capture;
        capture.setReply(Report, {200, TwoRecords});
        Kesto *kesto = m_Kesto.start({{"server", capture.url("")}, {"password", "p&ss=1"}});
        MessageCatcher catcher;
        QTableWidget *orders = kesto->findChild<QTableWidget *>("m_Orders");
        QTRY_COMPARE(orders->rowCount(), 2);
        QTRY_COMPARE(requests(capture, "/index.php/Pay/Pays/getuser").size(), 1);
        QTest::qWait(200);
        QCOMPARE(orders->rowCount(), 2);
        QCOMPARE(orders->item(0, 3)->text(), QString("￥12.5"));
        QCOMPARE(label(kesto, "m_PageLabel"), QString(" / 3 "));
        QCOMPARE(requests(capture, Report).value(0).body,
                 "username=demo&password=p%26ss%3D1&device=1_%E5%89%8D%E5%8F%B0&startime=" +
                     QUrl::toPercentEncoding(today) + "&endtime=" + QUrl::toPercentEncoding(today) +
                     "&paytype=payport&p=1");

        QMetaObject::invokeMethod(kesto, "PagePre");
        QMetaObject::invokeMethod(kesto, "PageNext");
        QMetaObject::invokeMethod(kesto, "PageNext");
        QCOMPARE(kesto->findChild<QLineEdit *>("m_PageEdit")->text(), QString("3"));
        QMetaObject::invokeMethod(kesto, "PageNext");
        QCOMPARE(catcher.messages, (QStringList{"提示|已经是第一页了！", "提示|已经是最后一页了！"}));

        // Switching the kind keeps the page.
        QMetaObject::invokeMethod(kesto, "SetRefunds");
        QTRY_COMPARE(requests(capture, Report).last().fields.value("paytype"), QString("payrefunds"));
        QCOMPARE(requests(capture, Report).last().fields.value("p"), QString("3"));
        QVERIFY(kesto->findChild<QAction *>("m_Refunds")->isChecked());
        QVERIFY(!kesto->findChild<QAction *>("m_Pays")->isChecked());

        // A reply without records empties the view instead of leaving the last page's rows.
        capture.setReply(Report, {200, R"({"msg":"用户名密码错误"})"});
        QAction *query = kesto->findChild<QAction *>("m_QueryAction");
        QTRY_COMPARE(query->text(), QString("过滤查询"));
        QMetaObject::invokeMethod(kesto, "LoadOrders");
        QCOMPARE(query->text(), QString("查询中..."));
        QTRY_COMPARE(query->text(), QString("过滤查询"));
        QCOMPARE(orders->rowCount(), 0);
        QCOMPARE(label(kesto, "m_PageLabel"), QString(" / 0 "));
        QCOMPARE(label(kesto, "m_TotalLabel"), QString());
    }

    // "尾页" before any reply once asked for page 0.
    void lastPageBeforeAnyReply()
    {
        Kesto *kesto = m_Kesto.start({{"server", "http://127.0.0.1:9"}});
        MessageCatcher catcher;
        QMetaObject::invokeMethod(kesto, "PageNext");
        QCOMPARE(catcher.messages, QStringList{"提示|已经是最后一页了！"});
        QMetaObject::invokeMethod(kesto, "PageNextX");
        QCOMPARE(kesto->findChild<QLineEdit *>("m_PageEdit")->text(), QString("1"));
    }

    // Without a notification area the records view is the only window, and closing it ends the
    // program (with one, it hides: tst_tray).
    void closingTheRecordsViewEndsTheProgram()
    {
        Kesto *kesto = m_Kesto.start({{"server", "http://127.0.0.1:9"}});
        QMetaObject::invokeMethod(kesto, "showreport");
        QVERIFY(kesto->isVisible());
        QTimer::singleShot(0, kesto, &QWidget::close);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(qApp->exec(), 0);
    }

private:
    static QVector<CaptureServer::Request> requests(const CaptureServer &capture, const QString &path)
    {
        QVector<CaptureServer::Request> matching;
        for (const CaptureServer::Request &request : capture.requests()) {
            if (request.path == path)
                matching << request;
        }
        return matching;
    }
    static QString label(Kesto *kesto, const char *name) { return kesto->findChild<QLabel *>(name)->text(); }

    RunningKesto m_Kesto;
};

QTEST_MAIN(TestKesto)
#include "tst_kesto.moc"
