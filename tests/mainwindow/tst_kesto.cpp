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

using Settings = QMap<QString, QString>;

// The main window without a notification area: the start-up decision and the records view.
class TestKesto : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China)); }
    void cleanup() { m_Kesto.stop(); }

    // The sign-in page, the device page, or the records view with the tray's menu in its bar.
    void startupDecision_data()
    {
        QTest::addColumn<Settings>("settings"); // over a remembered account and device
        QTest::addColumn<QString>("page");
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
        QCOMPARE(kesto->isVisible(), page.isEmpty());
        if (!page.isEmpty()) {
            QCOMPARE(signin->findChild<QPushButton *>("m_Login")->isVisible(), page == "m_Login");
            QCOMPARE(signin->findChild<QComboBox *>("m_Devices")->isVisible(), page == "m_Devices");
            return;
        }
        QVERIFY(kesto->isMaximized());
        QCOMPARE(kesto->windowTitle(), QString("演示商户"));
        QVERIFY(kesto->menuBar()->actions().contains(kesto->findChild<QMenu *>("m_TrayMenu")->menuAction()));
    }

    // What the records view asks for, its paging and its kinds. The user request's reply comes
    // after the first page and once wiped it; a reply without records empties the view.
    void requestsAndPaging()
    {
        const QString report = "/index.php/Pay/Payinterface/mreport";
        m_Kesto.capture.setReply(report,
                                 {200, R"({"list":{"page":{"np":1,"pmax":3},"total":{"tongji":"共1笔"},
            "0":{"id":"7","payt":"Kesto","device_info":"前台","total_fee":"1250","refunds":"0",
                 "out_trade_no":"100000000000000007","transaction_id":"420000000007","time_end":"20160305142233"}}})"});
        Kesto *kesto = m_Kesto.start({{"password", "p&ss=1"}});
        MessageCatcher catcher;
        auto *orders = kesto->findChild<QTableWidget *>("m_Orders");
        QTRY_COMPARE(orders->rowCount(), 1);
        QTRY_COMPARE(requests("/index.php/Pay/Pays/getuser").size(), 1);
        QTest::qWait(200);
        QCOMPARE(orders->rowCount(), 1);
        QCOMPARE(orders->item(0, 3)->text(), QString("￥12.5"));
        const QByteArray today =
            QUrl::toPercentEncoding(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        QCOMPARE(requests(report).value(0).body,
                 "username=demo&password=p%26ss%3D1&device=1_%E5%89%8D%E5%8F%B0&startime=" + today +
                     "&endtime=" + today + "&paytype=payport&p=1");
        for (const char *move : {"PagePre", "PageNext", "PageNext", "PageNext"})
            QMetaObject::invokeMethod(kesto, move);
        QCOMPARE(kesto->findChild<QLineEdit *>("m_PageEdit")->text(), QString("3"));
        QCOMPARE(catcher.messages, (QStringList{"提示|已经是第一页了！", "提示|已经是最后一页了！"}));

        QMetaObject::invokeMethod(kesto, "SetRefunds"); // keeps the page
        QTRY_COMPARE(requests(report).last().fields.value("paytype"), QString("payrefunds"));
        QCOMPARE(requests(report).last().fields.value("p"), QString("3"));

        m_Kesto.capture.setReply(report, {200, R"({"msg":"用户名密码错误"})"});
        QMetaObject::invokeMethod(kesto, "LoadOrders");
        QTRY_COMPARE(orders->rowCount(), 0);
        QCOMPARE(kesto->findChild<QLabel *>("m_PageLabel")->text(), QString(" / 0 "));
        QCOMPARE(kesto->findChild<QLabel *>("m_TotalLabel")->text(), QString());
    }

    // "尾页" before any reply once asked for page 0.
    void lastPageBeforeAnyReply()
    {
        Kesto *kesto = m_Kesto.start({{"server", "http://127.0.0.1:9"}});
        QMetaObject::invokeMethod(kesto, "PageNextX");
        QCOMPARE(kesto->findChild<QLineEdit *>("m_PageEdit")->text(), QString("1"));
    }

private:
    QVector<CaptureServer::Request> requests(const QString &path) const
    {
        QVector<CaptureServer::Request> matching;
        for (const CaptureServer::Request &request : m_Kesto.capture.requests()) {
            if (request.path == path)
                matching << request;
        }
        return matching;
    }

    RunningKesto m_Kesto;
};

QTEST_MAIN(TestKesto)
#include "tst_kesto.moc"
