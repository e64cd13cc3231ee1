#include "mainwindow/kesto.h"
#include "mainwindow/updatecheck.h"
#include "messagecatcher.h"
#include "paymentserver.h"
#include "platform/platformintegration.h"
#include "runningkesto.h"
#include "shell/lookandfeel.h"
#include "xdesktop.h"

#include <QX11Info>
#include <QtTest>
#include <QtWidgets>
#include <xcb/xcb.h>

// The program in an X session of its own with openbox, later also trayer: its main window in this
// process, with its hotkeys and setup dialog; the real program, started as run.sh does, at start.
class TestKesto : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        QVERIFY(m_Desktop.start());
        // The real program in a folder of its own, as run.sh starts it with a remembered account.
        QVERIFY(QFile::copy(KESTO_PROGRAM, m_Dir.filePath("Kesto")));
        m_Kesto.write(SettingsStore(m_Dir.filePath("config.dat")));
    }
    void cleanup()
    {
        QDir(m_Kesto.config.path()).removeRecursively(); // where a test put a folder
        QFile::remove(m_Kesto.config.path());
        m_Desktop.releaseElsewhere();
    }

    // An account not remembered asks for a sign-in. Each way it fails leaves the account unstored
    // and the dialog open: an empty password and a wrong one are named, an unreachable service
    // answers nothing. (The end-to-end run signs in.)
    void signingInFails()
    {
        const auto kesto =
            m_Kesto.start({{"server", m_Payments.baseUrl()}, {"username", ""}, {"remeber", "0"}});
        QWidget *signin = RunningKesto::window("WxSignin");
        auto *login = signin->findChild<QPushButton *>("m_Login");
        auto *password = signin->findChild<QLineEdit *>("m_Password");
        signin->findChild<QLineEdit *>("m_Username")->setText("demo");
        MessageCatcher catcher;
        QTest::keyClick(password, Qt::Key_Return);
        password->setText("demo124");
        QTest::mouseClick(login, Qt::LeftButton);
        QTRY_COMPARE(catcher.messages, QStringList({"提示|密码不能空", "提示|用户名密码错误，登录失败！"}));
        m_Kesto.config.write("server", "http://127.0.0.1:9");
        password->setText("demo123");
        QTest::mouseClick(login, Qt::LeftButton);
        QTest::qWait(500); // for a message that must not come
        QCOMPARE(catcher.messages.size(), 2);
        QVERIFY(login->isVisible() && !kesto->isVisible());
        QCOMPARE(m_Kesto.config.read("username"), QString());
    }

    // A remembered account without a device asks for one. The list ends at the first entry without
    // a name; a reply arriving twice lists once.
    void deviceList()
    {
        const auto kesto = m_Kesto.start({{"device", ""}, {"server", "http://127.0.0.1:9"}});
        QWidget *signin = RunningKesto::window("WxSignin");
        auto *devices = signin->findChild<QComboBox *>("m_Devices");
        QVERIFY(devices->isVisible() && !kesto->isVisible());
        const auto reply = QJsonDocument::fromJson(
            R"({"devices":{"0":{"id":"1","device":"前台"},"1":{},"2":{"device":"C"}}})");
        for (int i = 0; i < 2; ++i)
            QMetaObject::invokeMethod(signin, "getDevices", Q_ARG(QJsonObject, reply.object()));
        QCOMPARE(devices->count(), 1);
        QCOMPARE(devices->itemText(0), QString("1_前台"));
    }

    // "尾页" before any reply once asked for page 0. The user request's reply comes after the first
    // page and once wiped it. A failed request clears the rows and says so, until a reply without
    // records. (A reply landing while a row's menu is open is met in the random day.)
    void recordsView()
    {
        m_Kesto.capture.setReply(Report, {200, R"({"list":{"page":{"pmax":3},"total":{"tongji":"共1笔"},
            "0":{"out_trade_no":"7","total_fee":"1250"}}})"});
        m_Kesto.capture.setReply(User, {200, "{}", "application/json", 100}); // after the first page
        const int users = m_Kesto.capture.requests(User).size();
        const auto kesto = m_Kesto.start();
        QMetaObject::invokeMethod(kesto.get(), "PageNextX");
        QCOMPARE(kesto->findChild<QLineEdit *>("m_PageEdit")->text(), QString("1"));
        auto *orders = kesto->findChild<QTableWidget *>("m_Orders");
        QTRY_COMPARE(orders->rowCount(), 1);
        QTRY_COMPARE(m_Kesto.capture.requests(User).size(), users + 1);
        QTest::qWait(300);
        QCOMPARE(orders->item(0, 3)->text(), QString("￥12.5"));
        m_Kesto.capture.setReply(Report, {502, "<html>Bad Gateway</html>", "text/html"});
        QMetaObject::invokeMethod(kesto.get(), "LoadOrders");
        QTRY_COMPARE(orders->rowCount(), 0);
        QCOMPARE(kesto->statusBar()->currentMessage(), QString("网络异常，未能查询记录"));
        QCOMPARE(kesto->findChild<QAction *>("m_QueryAction")->text(), QString("过滤查询"));
        m_Kesto.capture.setReply(Report, {200, R"({"msg":"用户名密码错误"})"});
        QMetaObject::invokeMethod(kesto.get(), "LoadOrders");
        QTRY_COMPARE(kesto->statusBar()->currentMessage(), QString());
        QCOMPARE(kesto->findChild<QLabel *>("m_PageLabel")->text(), QString(" / 0 "));
        QCOMPARE(kesto->findChild<QLabel *>("m_TotalLabel")->text(), QString());
    }

    // The version the updater stored in config.dat against the service's: only a newer one counts,
    // and ends the program for the updater beside it (which stays for the tests that follow).
    void updates()
    {
        QSettings(m_Kesto.config.path(), QSettings::IniFormat).setValue("version/number", 3);
        const auto outdated = [](const char *reply) {
            return clientOutdated(QJsonDocument::fromJson(reply).object());
        };
        QVERIFY(!outdated(R"({"data":{"version":{"ver":3}}})"));
        QVERIFY(outdated(R"({"data":{"version":{"ver":4}}})"));
        QVERIFY(!outdated("{}"));
        m_Kesto.capture.setReply(User, {200, R"({"data":{"version":{"ver":1}}})"});
        QFile updater(m_Dir.filePath("Morvane.exe")); // a stand-in that leaves a mark beside itself
        QVERIFY(updater.open(QIODevice::WriteOnly) && updater.write("#!/bin/sh\ntouch \"$0.ran\"\n") > 0);
        QVERIFY(updater.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        updater.close();
        QProcess program;
        start(program);
        QVERIFY(program.waitForFinished(15000));
        QCOMPARE(program.exitCode(), 0);
        QTRY_VERIFY(QFile::exists(m_Dir.filePath("Morvane.exe.ran")));
        m_Kesto.capture.setReply(User, {200, "{}"});
    }

    // Of two started together one stays, the other exits with 0; killed, the one left leaves its
    // guard segment, which the next two must not mistake for it. A later start exits with 0, bringing
    // the records view forward from the program with the focus; closing that view ends the program.
    void oneInstance()
    {
        QProcess runs[2][2], again;
        QProcess *stays = nullptr;
        for (auto &round : runs) {
            if (stays) {
                stays->kill();
                QVERIFY(stays->waitForFinished(5000));
            }
            start(round[0]);
            start(round[1]);
            QTRY_VERIFY_WITH_TIMEOUT(
                round[0].state() == QProcess::NotRunning || round[1].state() == QProcess::NotRunning, 10000);
            const int refused = round[0].state() == QProcess::NotRunning ? 0 : 1;
            QVERIFY(round[refused].exitStatus() == QProcess::NormalExit && round[refused].exitCode() == 0);
            stays = &round[1 - refused];
        }
        const QString pid = QString::number(stays->processId());
        QTRY_VERIFY(!XDesktop::xdotool({"search", "--onlyvisible", "--pid", pid}).isEmpty());
        QVERIFY(m_Desktop.focusProbe());
        start(again);
        QVERIFY(again.waitForFinished(10000));
        QCOMPARE(again.exitCode(), 0);
        QTRY_COMPARE(XDesktop::xdotool({"getactivewindow", "getwindowpid"}), pid);
        XDesktop::xdotool({"key", "alt+F4"});
        QVERIFY(stays->waitForFinished(10000));
        QVERIFY(stays->exitStatus() == QProcess::NormalExit && stays->exitCode() == 0);
    }

    // A notification area coming up after the program: the records view stands in, then the icon.
    // Signing in again runs the tray set-up again; the menu and its wiring stay single, so a double
    // click opens the records view and loads it once. A single click does nothing.
    void livesInTheTray()
    {
        const auto kesto = m_Kesto.start({{"jm_title", "<b>演示</b>商户"}});
        auto *icon = kesto->findChild<QSystemTrayIcon *>();
        QVERIFY(kesto->isVisible() && !icon->isVisible());
        QVERIFY(m_Desktop.startTray());
        QTRY_VERIFY(icon->isVisible());
        QCOMPARE(icon->toolTip(), QString("&lt;b&gt;演示&lt;/b&gt;商户")); // shown as typed
        kesto->hide();
        QMenu *menu = icon->contextMenu();
        QMetaObject::invokeMethod(kesto.get(), "Trays");
        QCOMPARE(icon->contextMenu(), menu);
        const int before = m_Kesto.capture.requests(Report).size();
        emit icon->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!kesto->isVisible());
        emit icon->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(kesto->isVisible());
        QTRY_COMPARE(m_Kesto.capture.requests(Report).size(), before + 1);
        QTest::qWait(300);
        QCOMPARE(m_Kesto.capture.requests(Report).size(), before + 1);
    }

    // The pay key is held with NumLock (Mod2 here), CapsLock and both. The setup dialog releases the
    // keys for its editors and, closed unsaved, has them taken again. After a swap a key reaches only
    // its new window; so it does after a new layout moves keys (German: Z where Y was). Held, a key
    // fires once (F), its repeats swallowed (r); each event offered as to both keys' filters.
    void hotkeys()
    {
        const auto kesto = m_Kesto.start({{"paykey", "Ctrl+F1"}, {"refundkey", "Ctrl+F2"}});
        xcb_key_press_event_t key{};
        key.detail = 67;
        key.state = 0x14;                             // Ctrl and NumLock
        const quint32 now = QX11Info::getTimestamp(); // the user's time never goes back
        QString answers;
        for (const int time : {1, 2, -30, 30, -40, 50, -60}) {
            key.response_type = time > 0 ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
            key.time = now + quint32(qAbs(time));
            for (NativeHotkey hit : {NativeHotkey(), NativeHotkey()}) {
                bool taken = PlatformIntegration::instance().hotkeyPressed("xcb_generic_event_t", &key, &hit);
                answers += "..rF"[2 * taken + (hit.key != 0)];
            }
        }
        QCOMPARE(answers, QString("FFrr..rr..FF.."));
        for (const quint16 locks : {0x10, 0x02, 0x12})
            QVERIFY2(!m_Desktop.grabElsewhere(67, 0x04 | locks), qPrintable(QString::number(locks)));
        QWidget *setup = openSetup(kesto);
        QVERIFY(m_Desktop.grabElsewhere(67, 0x04)); // Ctrl+F1
        m_Desktop.releaseElsewhere();
        setup->close();
        QVERIFY(!m_Desktop.grabElsewhere(67, 0x04));
        QMetaObject::invokeMethod(kesto.get(), "SetKeys", Q_ARG(QString, "Ctrl+F2"),
                                  Q_ARG(QString, "Ctrl+F1"));
        QVERIFY(m_Desktop.focusProbe());
        XDesktop::xdotool({"key", "ctrl+F1"});
        QWidget *pay = RunningKesto::window("KestoWindow");
        QTRY_VERIFY(RunningKesto::window("wxRefunds")->isVisible());
        QVERIFY(!pay->isVisible());
        XDesktop::xdotool({"key", "ctrl+F2"});
        QTRY_VERIFY(pay->isVisible());
        pay->hide();
        QMetaObject::invokeMethod(kesto.get(), "SetKeys", Q_ARG(QString, "Ctrl+Z"), Q_ARG(QString, ""));
        QCOMPARE(QProcess::execute("setxkbmap", {"de"}), 0);
        QTest::qWait(500); // the program learns of it in its event loop, long before a cashier types
        QVERIFY(m_Desktop.focusProbe());
        XDesktop::xdotool({"key", "ctrl+z"});
        QTRY_VERIFY(pay->isVisible());
        QCOMPARE(QProcess::execute("setxkbmap", {"us"}), 0);
    }

    // The setup dialog names what failed: the same key twice, refused keys; then the settings file (a folder
    // in its place), a key no table has, a key another client holds with NumLock only (the grab
    // fails whole, giving back the variants it took), the autostart entry (a file where its folder goes).
    // Autostart off without an entry is no failure; saved on, it shows on when opened again, so
    // that saving as shown keeps the entry. (The end-to-end run sets the keys.)
    void setupSaves()
    {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        const auto kesto = m_Kesto.start();
        const auto save = [&](const QString &pay = {}, const QString &refund = {}, bool autostart = false) {
            QWidget *setup = openSetup(kesto);
            if (!pay.isEmpty()) { // else saved as shown
                setup->findChild<QKeySequenceEdit *>("m_PayKey")->setKeySequence(QKeySequence(pay));
                setup->findChild<QKeySequenceEdit *>("m_RefundKey")->setKeySequence(QKeySequence(refund));
                setup->findChild<QCheckBox *>("m_Starts")->setChecked(autostart);
            }
            MessageCatcher catcher;
            setup->findChild<QPushButton *>("m_SetupSave")->click();
            return catcher.messages;
        };
        const QString partly = "提示|已保存，但以下设置未生效：\n";
        QCOMPARE(save("Ctrl+F1", "Ctrl+F1"), QStringList{partly + "支付快捷键与退款快捷键相同"});
        QCOMPARE(save("5", "Ctrl+W"),
                 QStringList{partly + "支付键 5（须含Ctrl或Alt）\n退款键 Ctrl+W（支付窗口已用）"});
        QCOMPARE(save("Ctrl+F1", "F2", true), QStringList{"提示|保存成功"});
        QCOMPARE(save(), QStringList{"提示|保存成功"});
        QVERIFY(QFile::exists(home.filePath("autostart/Kesto.desktop")));
        QVERIFY(m_Desktop.grabElsewhere(69, 0x04 | 0x10)); // Ctrl+F3 with NumLock
        QVERIFY(QDir(home.filePath("autostart")).removeRecursively());
        QVERIFY(QFile(home.filePath("autostart")).open(QIODevice::WriteOnly));
        QVERIFY(QFile::remove(m_Kesto.config.path()) && QDir().mkpath(m_Kesto.config.path()));
        const QStringList problems{"配置文件无法写入", "快捷键Ctrl+.不受支持",
                                   "退款快捷键Ctrl+F3已被其他程序占用", "随机启动设置失败"};
        QCOMPARE(save("Ctrl+.", "Ctrl+F3", true), QStringList{partly + problems.join('\n')});
        QVERIFY(m_Desktop.grabElsewhere(69, 0x04));
    }

private:
    static constexpr const char *Report = "/index.php/Pay/Payinterface/mreport";
    static constexpr const char *User = "/index.php/Pay/Pays/getuser";

    void start(QProcess &program) const { program.start(m_Dir.filePath("Kesto"), QStringList()); }
    static QWidget *openSetup(const std::unique_ptr<Kesto> &kesto)
    {
        QMetaObject::invokeMethod(kesto.get(), "Setups");
        return RunningKesto::window("WxSetup");
    }

    XDesktop m_Desktop;
    PaymentServer m_Payments;
    RunningKesto m_Kesto;
    QTemporaryDir m_Dir;
};

QTEST_MAIN(TestKesto)
#include "tst_kesto.moc"
