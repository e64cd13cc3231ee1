#include "captureserver.h"
#include "mainwindow/kesto.h"
#include "messagecatcher.h"
#include "paymentserver.h"
#include "shell/settingsstore.h"

#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

namespace {

using Settings = QMap<QString, QString>;

const QByteArray TwoRecords = R"({"list":{"page":{"np":1,"pmax":3},"total":{"tongji":"共2笔 合计￥13.5"},
    "0":{"id":"7","payt":"Kesto","device_info":"前台","total_fee":"1250","refunds":"0",
         "out_trade_no":"100000000000000007","transaction_id":"420000000007","time_end":"20160305142233"},
    "1":{"id":"8","payt":"AliPay","device_info":"前台","total_fee":"100","refunds":"50",
         "out_trade_no":"100000000000000008","transaction_id":"2016000008","time_end":"20160305150000"}}})";

QWidget *signinWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "WxSignin")
            return widget;
    }
    return nullptr;
}

QString cell(QTableWidget *table, int row, int column)
{
    QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

class TestKesto : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        QVERIFY(m_Payments.isRunning());
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    }
    void cleanup()
    {
        m_Kesto.reset();
        QFile::remove(m_Config.path());
    }

    void startupDecision_data()
    {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QString>("page"); // "signin", "device" or "" for no dialog

        QTest::newRow("first run") << Settings{} << "signin";
        QTest::newRow("account not remembered")
            << Settings{{"username", "demo"}, {"password", "demo123"}, {"remeber", "0"}, {"device", "1_前台"}}
            << "signin";
        QTest::newRow("remembered without password")
            << Settings{{"username", "demo"}, {"remeber", "1"}, {"device", "1_前台"}} << "signin";
        QTest::newRow("remembered, no device")
            << Settings{{"username", "demo"}, {"password", "demo123"}, {"remeber", "1"}} << "device";
        QTest::newRow("remembered with device") << Settings{{"username", "demo"},
                                                            {"password", "demo123"},
                                                            {"remeber", "1"},
                                                            {"device", "1_前台"},
                                                            {"jm_title", "演示商户"}}
                                                << "";
    }
    void startupDecision()
    {
        QFETCH(Settings, settings);
        QFETCH(QString, page);
        settings.insert("server", m_Payments.baseUrl());
        start(settings);

        QWidget *signin = signinWindow();
        QVERIFY(signin);
        QCOMPARE(signin->isVisible(), !page.isEmpty());
        if (!page.isEmpty()) {
            QCOMPARE(signin->findChild<QPushButton *>("m_Login")->isVisible(), page == "signin");
            QCOMPARE(signin->findChild<QComboBox *>("m_Devices")->isVisible(), page == "device");
            QVERIFY(signin->findChild<QPushButton *>("m_Exit")->isVisible());
            QVERIFY(!m_Kesto->isVisible());
            if (page == "signin")
                QCOMPARE(signin->findChild<QLineEdit *>("m_Username")->text(), QString());
            return;
        }
        // No notification area here: the records view stands in, with the tray's entries.
        QVERIFY(m_Kesto->isVisible());
        QVERIFY(m_Kesto->isMaximized());
        QCOMPARE(m_Kesto->windowTitle(), QString("演示商户"));
        QMenu *menu = m_Kesto->findChild<QMenu *>("m_TrayMenu");
        QVERIFY(menu);
        QVERIFY(m_Kesto->menuBar()->actions().contains(menu->menuAction()));
        QStringList entries;
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                entries << action->iconText();
        }
        QCOMPARE(entries, (QStringList{"线下支付", "线下退款", "支付报表", "交班小结", "软件设置", "更换账号",
                                       "更换设备", "退出软件(&X)"}));
    }

    // The seeded records of the local service, page by page.
    void recordsFromTheService()
    {
        start({{"server", m_Payments.baseUrl()},
               {"username", "demo"},
               {"password", "demo123"},
               {"remeber", "1"},
               {"device", "1_前台"},
               {"jm_title", "演示商户"}});
        QTableWidget *orders = table();
        QDateEdit *from = m_Kesto->findChild<QDateEdit *>("m_DateFrom");
        from->setDate(QDate::currentDate().addDays(-40));
        QMetaObject::invokeMethod(m_Kesto.get(), "LoadOrders");
        QTRY_COMPARE(orders->rowCount(), 10);
        QTRY_COMPARE(action("m_QueryAction")->text(), QString("过滤查询"));
        const int pages = label("m_PageLabel")->text().simplified().remove("/ ").toInt();
        QVERIFY2(pages > 1, qPrintable(label("m_PageLabel")->text()));
        QVERIFY(!label("m_TotalLabel")->text().isEmpty());
        QCOMPARE(cell(orders, 0, 2), QString("前台"));
        QVERIFY(cell(orders, 0, 3).startsWith("￥"));
        QVERIFY(cell(orders, 0, 7).contains("年"));
        const QString firstOrder = cell(orders, 0, 5);

        QMetaObject::invokeMethod(m_Kesto.get(), "PageNext");
        QTRY_VERIFY(cell(orders, 0, 5) != firstOrder && !cell(orders, 0, 5).isEmpty());
        QCOMPARE(lineEdit("m_PageEdit")->text(), QString("2"));

        QMetaObject::invokeMethod(m_Kesto.get(), "PageNextX");
        QCOMPARE(lineEdit("m_PageEdit")->text(), QString::number(pages));
        QTRY_COMPARE(action("m_QueryAction")->text(), QString("过滤查询"));
        QVERIFY(orders->rowCount() >= 1);
    }

    void requestsAndPaging()
    {
        CaptureServer capture;
        capture.setReply("/index.php/Pay/Payinterface/mreport", {200, TwoRecords});
        capture.setReply("/index.php/Pay/Pays/getuser", {200, R"({"data":{"version":{"ver":0}}})"});
        start({{"server", capture.url("")},
               {"username", "demo"},
               {"password", "p&ss=1"},
               {"remeber", "1"},
               {"device", "1_前台"}});
        MessageCatcher catcher;
        QTableWidget *orders = table();
        QTRY_COMPARE(orders->rowCount(), 2);
        // The user request's reply comes after the first page and must not disturb it.
        QTRY_COMPARE(requests(capture, "/index.php/Pay/Pays/getuser").size(), 1);
        QTest::qWait(200);
        QCOMPARE(orders->rowCount(), 2);
        QCOMPARE(cell(orders, 0, 1), QString("微信支付"));
        QCOMPARE(cell(orders, 1, 1), QString("支付宝钱包"));
        QCOMPARE(cell(orders, 0, 3), QString("￥12.5"));
        QCOMPARE(cell(orders, 1, 4), QString("￥0.5"));
        QCOMPARE(cell(orders, 0, 7), QString("2016年03月05日 14时22分33秒"));
        QCOMPARE(label("m_PageLabel")->text(), QString(" / 3 "));
        QCOMPARE(label("m_TotalLabel")->text(), QString("共2笔 合计￥13.5"));

        const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        CaptureServer::Request first = requests(capture, "/index.php/Pay/Payinterface/mreport").value(0);
        QCOMPARE(first.fields.value("username"), QString("demo"));
        QCOMPARE(first.fields.value("password"), QString("p&ss=1"));
        QCOMPARE(first.fields.value("device"), QString("1_前台"));
        QCOMPARE(first.fields.value("startime"), today);
        QCOMPARE(first.fields.value("endtime"), today);
        QCOMPARE(first.fields.value("paytype"), QString("payport"));
        QCOMPARE(first.fields.value("p"), QString("1"));

        QMetaObject::invokeMethod(m_Kesto.get(), "PagePre");
        QCOMPARE(catcher.messages, QStringList{"提示|已经是第一页了！"});
        QMetaObject::invokeMethod(m_Kesto.get(), "PageNext");
        QMetaObject::invokeMethod(m_Kesto.get(), "PageNext");
        QCOMPARE(lineEdit("m_PageEdit")->text(), QString("3"));
        QMetaObject::invokeMethod(m_Kesto.get(), "PageNext");
        QCOMPARE(catcher.messages.value(1), QString("提示|已经是最后一页了！"));

        // Switching the kind keeps the page.
        QMetaObject::invokeMethod(m_Kesto.get(), "SetRefunds");
        QTRY_COMPARE(requests(capture, "/index.php/Pay/Payinterface/mreport").last().fields.value("paytype"),
                     QString("payrefunds"));
        QCOMPARE(requests(capture, "/index.php/Pay/Payinterface/mreport").last().fields.value("p"),
                 QString("3"));
        QVERIFY(!m_Kesto->findChild<QAction *>("m_Pays")->isChecked());
        QVERIFY(m_Kesto->findChild<QAction *>("m_Refunds")->isChecked());

        // A reply without records empties the view instead of leaving the last page's rows.
        capture.setReply("/index.php/Pay/Payinterface/mreport", {200, R"({"msg":"用户名密码错误"})"});
        QTRY_COMPARE(action("m_QueryAction")->text(), QString("过滤查询"));
        QMetaObject::invokeMethod(m_Kesto.get(), "LoadOrders");
        QCOMPARE(action("m_QueryAction")->text(), QString("查询中..."));
        QTRY_COMPARE(action("m_QueryAction")->text(), QString("过滤查询"));
        QCOMPARE(orders->rowCount(), 0);
        QCOMPARE(label("m_PageLabel")->text(), QString(" / 0 "));
        QCOMPARE(label("m_TotalLabel")->text(), QString());
        QCOMPARE(catcher.messages.size(), 2);
    }

    void nextBeforeAnyReplyIsTheLastPage()
    {
        start({{"server", "http://127.0.0.1:9"}});
        MessageCatcher catcher;
        QMetaObject::invokeMethod(m_Kesto.get(), "PageNext");
        QCOMPARE(catcher.messages, QStringList{"提示|已经是最后一页了！"});
        QMetaObject::invokeMethod(m_Kesto.get(), "PageNextX");
        QCOMPARE(lineEdit("m_PageEdit")->text(), QString("1"));
    }

    // Without a notification area the records view is the only window, and closing it ends the
    // program (with one, it hides: tst_tray).
    void closingTheRecordsViewEndsTheProgram()
    {
        start({{"server", "http://127.0.0.1:9"}});
        QMetaObject::invokeMethod(m_Kesto.get(), "showreport");
        QVERIFY(m_Kesto->isVisible());
        QTimer::singleShot(0, m_Kesto.get(), &QWidget::close);
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(qApp->exec(), 0);
        QVERIFY(!m_Kesto->isVisible());
    }

private:
    void start(const Settings &settings)
    {
        for (auto it = settings.constBegin(); it != settings.constEnd(); ++it)
            m_Config.write(it.key(), it.value());
        m_Kesto.reset(new Kesto);
    }
    QVector<CaptureServer::Request> requests(const CaptureServer &capture, const QString &path) const
    {
        QVector<CaptureServer::Request> matching;
        for (const CaptureServer::Request &request : capture.requests()) {
            if (request.path == path)
                matching << request;
        }
        return matching;
    }
    QTableWidget *table() const { return m_Kesto->findChild<QTableWidget *>("m_Orders"); }
    QLabel *label(const char *name) const { return m_Kesto->findChild<QLabel *>(name); }
    QLineEdit *lineEdit(const char *name) const { return m_Kesto->findChild<QLineEdit *>(name); }
    QAction *action(const char *name) const { return m_Kesto->findChild<QAction *>(name); }

    PaymentServer m_Payments;
    SettingsStore m_Config;
    std::unique_ptr<Kesto> m_Kesto;
};

QTEST_MAIN(TestKesto)
#include "tst_kesto.moc"
