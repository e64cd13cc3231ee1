#include "mainwindow/kesto.h"
#include "messagecatcher.h"
#include "rows.h"
#include "runningkesto.h"
#include "shell/lookandfeel.h"
#include "xdesktop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using Settings = QMap<QString, QString>;

// The main window in an X session of its own with openbox: first without a notification area,
// then with trayer; its global hotkeys pressed with xdotool while xev has the focus, and its
// setup dialog.
class TestKesto : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        QVERIFY(m_Desktop.startWindowManager());
    }
    void init()
    {
        m_Home.reset(new QTemporaryDir);
        qputenv("XDG_CONFIG_HOME", m_Home->path().toUtf8());
    }
    void cleanup()
    {
        m_Kesto.stop();
        QDir(m_Kesto.config.path()).removeRecursively();
        m_Desktop.releaseElsewhere();
    }

    // The sign-in page or the device page, and no records view behind.
    void startupDecision_data()
    {
        QTest::addColumn<Settings>("settings"); // over a remembered account and device
        QTest::addColumn<QString>("page");
        row("account not remembered", Settings{{"remeber", "0"}}, "m_Login");
        row("remembered, no device", Settings{{"device", ""}}, "m_Devices");
    }
    void startupDecision()
    {
        QFETCH(Settings, settings);
        QFETCH(QString, page);
        Kesto *kesto = m_Kesto.start(settings);
        QWidget *signin = RunningKesto::window("WxSignin");
        QVERIFY(signin->isVisible() && !kesto->isVisible());
        QCOMPARE(signin->findChild<QPushButton *>("m_Login")->isVisible(), page == "m_Login");
        QCOMPARE(signin->findChild<QComboBox *>("m_Devices")->isVisible(), page == "m_Devices");
    }

    // "尾页" before any reply once asked for page 0. The user request's reply comes after the
    // first page and once wiped it; a reply without records empties the view.
    void recordsView()
    {
        m_Kesto.capture.setReply(Report,
                                 {200, R"({"list":{"page":{"np":1,"pmax":3},"total":{"tongji":"共1笔"},
            "0":{"id":"7","payt":"Kesto","device_info":"前台","total_fee":"1250","refunds":"0",
                 "out_trade_no":"1000007","transaction_id":"42007","time_end":"20160305142233"}}})"});
        Kesto *kesto = m_Kesto.start({{"server", "http://127.0.0.1:9"}});
        QMetaObject::invokeMethod(kesto, "PageNextX");
        QCOMPARE(kesto->findChild<QLineEdit *>("m_PageEdit")->text(), QString("1"));
        m_Kesto.stop();
        const int users = requests("/index.php/Pay/Pays/getuser");
        kesto = m_Kesto.start();
        auto *orders = kesto->findChild<QTableWidget *>("m_Orders");
        QTRY_COMPARE(orders->rowCount(), 1);
        QTRY_COMPARE(requests("/index.php/Pay/Pays/getuser"), users + 1);
        QTest::qWait(200);
        QCOMPARE(orders->item(0, 3)->text(), QString("￥12.5"));
        m_Kesto.capture.setReply(Report, {200, R"({"msg":"用户名密码错误"})"});
        QMetaObject::invokeMethod(kesto, "LoadOrders");
        QTRY_COMPARE(orders->rowCount(), 0);
        QCOMPARE(kesto->findChild<QLabel *>("m_PageLabel")->text(), QString(" / 0 "));
        QCOMPARE(kesto->findChild<QLabel *>("m_TotalLabel")->text(), QString());
    }

    // A notification area coming up after the program: the records view stands in, then the icon.
    void trayAppearingLater()
    {
        Kesto *kesto = m_Kesto.start();
        auto *icon = kesto->findChild<QSystemTrayIcon *>();
        QVERIFY(kesto->isVisible() && !icon->isVisible());
        QVERIFY(m_Desktop.startTray());
        QTRY_VERIFY(icon->isVisible());
        QCOMPARE(icon->toolTip(), QString("演示商户"));
    }

    // Signing in again runs the tray set-up again; the menu and its wiring stay single, so a
    // double click opens the records view and loads it once. A single click does nothing.
    void livesInTheTray()
    {
        Kesto *kesto = m_Kesto.start();
        auto *icon = kesto->findChild<QSystemTrayIcon *>();
        QVERIFY(icon->isVisible() && !kesto->isVisible());
        QMenu *menu = icon->contextMenu();
        QMetaObject::invokeMethod(kesto, "Trays");
        QMetaObject::invokeMethod(kesto, "Trays");
        QCOMPARE(icon->contextMenu(), menu);
        const int before = requests(Report);
        emit icon->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!kesto->isVisible());
        emit icon->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(kesto->isVisible());
        QTRY_COMPARE(requests(Report), before + 1);
        QTest::qWait(300);
        QCOMPARE(requests(Report), before + 1);
    }

    // The pay key is held with NumLock (Mod2 here), CapsLock and both too.
    void locksAreGrabbedToo()
    {
        m_Kesto.start({{"paykey", "Ctrl+F1"}});
        for (const quint16 locks : {0x10, 0x02, 0x12})
            QVERIFY2(!m_Desktop.grabElsewhere(0xFFBE, 0x04 | locks), qPrintable(QString::number(locks)));
    }

    // After a swap each key reaches the window it now belongs to, and only that one.
    void keysFollowASwap()
    {
        m_Kesto.start({{"paykey", "Ctrl+F1"}, {"refundkey", "Ctrl+F2"}});
        QMetaObject::invokeMethod(m_Kesto.get(), "SetKeys", Q_ARG(QString, "Ctrl+F2"),
                                  Q_ARG(QString, "Ctrl+F1"));
        QVERIFY(m_Desktop.focusProbe());
        XDesktop::xdotool({"key", "ctrl+F1"});
        QTRY_VERIFY(RunningKesto::window("wxRefunds")->isVisible());
        QVERIFY(!RunningKesto::window("KestoWindow")->isVisible());
        XDesktop::xdotool({"key", "ctrl+F2"});
        QTRY_VERIFY(RunningKesto::window("KestoWindow")->isVisible());
    }

    // An empty key grabs nothing (keycode 0 is every key). Another client holds Ctrl+F3 with
    // NumLock only: the grab fails whole, and the variants taken are given back.
    void takenCombinationIsRolledBack()
    {
        QVERIFY(m_Desktop.grabElsewhere(0xFFC0, 0x04 | 0x10));
        m_Kesto.start({{"paykey", ""}});
        QVERIFY(m_Desktop.grabElsewhere('a', 0));
        KeysOutcome outcome;
        QMetaObject::invokeMethod(m_Kesto.get(), "SetKeys", Q_RETURN_ARG(KeysOutcome, outcome),
                                  Q_ARG(QString, "Ctrl+F3"), Q_ARG(QString, "Ctrl+F4"));
        QCOMPARE(outcome.pay, MyGlobalShortCut::Taken);
        QCOMPARE(outcome.refund, MyGlobalShortCut::Registered);
        QVERIFY(m_Desktop.grabElsewhere(0xFFC0, 0x04));
    }

    // A new layout moves keys to other keycodes: on a German one Z sits where Y was.
    void grabsFollowTheKeyboardLayout()
    {
        m_Kesto.start({{"paykey", "Ctrl+Z"}});
        QCOMPARE(QProcess::execute("setxkbmap", {"de"}), 0);
        QTest::qWait(500); // the program learns of it in its event loop, long before a cashier types
        QVERIFY(m_Desktop.focusProbe());
        XDesktop::xdotool({"key", "ctrl+z"});
        QTRY_VERIFY(RunningKesto::window("KestoWindow")->isVisible());
        QCOMPARE(QProcess::execute("setxkbmap", {"us"}), 0);
    }

    // The setup dialog stores what was typed; opened again it shows autostart on, and saving
    // keeps the entry. What did not work is named.
    void setupSaves_data()
    {
        QTest::addColumn<QStringList>("typed"); // pay key, refund key, autostart
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<QString>("line");
        row("saved", QStringList{"Ctrl+F1", "Ctrl+Shift+R", "on"}, "", "");
        row("pay key taken", QStringList{"Ctrl+F3", "Ctrl+F2", "off"}, "grab",
            "支付快捷键Ctrl+F3已被其他程序占用");
        row("refund key taken", QStringList{"Ctrl+F2", "Ctrl+F3", "off"}, "grab",
            "退款快捷键Ctrl+F3已被其他程序占用");
        row("the same key twice", QStringList{"Ctrl+F1", "Ctrl+F1", "off"}, "", "支付快捷键与退款快捷键相同");
        row("unsupported key", QStringList{"Ctrl+.", "Ctrl+F2", "off"}, "", "快捷键Ctrl+.不受支持");
        row("autostart", QStringList{"Ctrl+F1", "Ctrl+F2", "on"}, "autostart", "随机启动设置失败");
        row("settings file", QStringList{"Ctrl+F1", "Ctrl+F2", "off"}, "settings", "配置文件无法写入");
    }
    void setupSaves()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, breakage);
        QFETCH(QString, line);
        if (breakage == "grab")
            QVERIFY(m_Desktop.grabElsewhere(0xFFC0, 0x04)); // Ctrl+F3
        if (breakage == "autostart") // no autostart folder can be made where a file stands
            QVERIFY(QFile(m_Home->filePath("autostart")).open(QIODevice::WriteOnly));
        if (breakage == "settings")
            QVERIFY(QDir().mkpath(m_Kesto.config.path()));
        m_Kesto.start();
        QWidget *setup = openSetup();
        setup->findChild<QKeySequenceEdit *>("m_PayKey")->setKeySequence(QKeySequence(typed[0]));
        setup->findChild<QKeySequenceEdit *>("m_RefundKey")->setKeySequence(QKeySequence(typed[1]));
        setup->findChild<QCheckBox *>("m_Starts")->setChecked(typed[2] == "on");
        setup->findChild<QCheckBox *>("m_Signal")->setChecked(false);
        if (!line.isEmpty()) {
            QCOMPARE(save(setup), QStringList{"提示|已保存，但以下设置未生效：\n" + line});
            return;
        }
        QCOMPARE(save(setup), QStringList{"提示|保存成功"});
        QVERIFY(!setup->isVisible());
        const Settings stored{{"paykey", typed[0]}, {"refundkey", typed[1]}, {"remeber", "0"}};
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            QCOMPARE(m_Kesto.config.read(it.key()), it.value());
        QCOMPARE(save(openSetup()), QStringList{"提示|保存成功"});
        QVERIFY(QFile::exists(m_Home->filePath("autostart/Kesto.desktop")));
    }

    // While the dialog is open the keys are released, so that its editors can record them;
    // closed without saving, the stored keys are taken again.
    void keysRestWhileTheDialogIsOpen()
    {
        m_Kesto.start({{"paykey", "Ctrl+F1"}, {"refundkey", "Ctrl+F2"}});
        QWidget *setup = openSetup();
        QVERIFY(m_Desktop.grabElsewhere(0xFFBE, 0x04)); // Ctrl+F1
        m_Desktop.releaseElsewhere();
        setup->close();
        QVERIFY(!m_Desktop.grabElsewhere(0xFFBE, 0x04));
    }

private:
    static constexpr const char *Report = "/index.php/Pay/Payinterface/mreport";

    int requests(const QString &path) const
    {
        int count = 0;
        for (const CaptureServer::Request &request : m_Kesto.capture.requests())
            count += request.path == path;
        return count;
    }
    QWidget *openSetup()
    {
        QMetaObject::invokeMethod(m_Kesto.get(), "Setups");
        return RunningKesto::window("WxSetup");
    }
    static QStringList save(QWidget *setup)
    {
        MessageCatcher catcher;
        setup->findChild<QPushButton *>("m_SetupSave")->click();
        return catcher.messages;
    }

    XDesktop m_Desktop;
    RunningKesto m_Kesto;
    std::unique_ptr<QTemporaryDir> m_Home;
};

QTEST_MAIN(TestKesto)
#include "tst_kesto.moc"
