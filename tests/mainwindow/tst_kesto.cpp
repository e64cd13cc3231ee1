#include "mainwindow/kesto.h"
#include "mainwindow/updatecheck.h"
#include "messagecatcher.h"
#include "paymentserver.h"
#include "rows.h"
#include "runningkesto.h"
#include "shell/lookandfeel.h"
#include "xdesktop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonDocument>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

// The program in an X session of its own with openbox: first without a notification area, then
// with trayer. Its main window in this process, with its global hotkeys and setup dialog; the real
// program started as run.sh starts it, for what happens at start.
class TestKesto : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        QVERIFY(m_Desktop.startWindowManager());
        // The real program in a folder of its own, as run.sh starts it with a remembered account.
        QVERIFY(QFile::copy(KESTO_PROGRAM, m_Dir.filePath("Kesto")));
        m_Kesto.write(SettingsStore(m_Dir.filePath("config.dat")));
    }
    void init()
    {
        m_Home.reset(new QTemporaryDir);
        qputenv("XDG_CONFIG_HOME", m_Home->path().toUtf8());
    }
    void cleanup()
    {
        for (const auto &run : m_Runs) {
            run->terminate();
            run->waitForFinished(5000);
        }
        m_Runs.clear();
        m_Kesto.stop();
        QDir(m_Kesto.config.path()).removeRecursively();
        m_Desktop.releaseElsewhere();
    }

    // An account not remembered asks for a sign-in. Every way it fails leaves the account unstored
    // and the dialog open: Return in the user name is no sign-in, an unreachable service answers
    // nothing. (The end-to-end run signs in.)
    void signingInFails_data()
    {
        QTest::addColumn<QString>("server"); // else the payment service
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("trigger"); // a button or the field that gets Return
        QTest::addColumn<QStringList>("messages");
        row("return in the user name", "", "demo123", "m_Username", QStringList());
        row("wrong password", "", "demo124", "m_Login", QStringList{"提示|用户名密码错误，登录失败！"});
        row("empty password", "", "", "m_Password", QStringList{"提示|密码不能空"});
        row("service unreachable", "http://127.0.0.1:9", "demo123", "m_Login", QStringList());
    }
    void signingInFails()
    {
        QFETCH(QString, server);
        QFETCH(QString, password);
        QFETCH(QString, trigger);
        QFETCH(QStringList, messages);
        m_Kesto.start({{"server", server.isEmpty() ? m_Payments.baseUrl() : server},
                       {"username", ""},
                       {"remeber", "0"}});
        QWidget *signin = RunningKesto::window("WxSignin");
        MessageCatcher catcher;
        signin->findChild<QLineEdit *>("m_Username")->setText("demo");
        signin->findChild<QLineEdit *>("m_Password")->setText(password);
        if (trigger == "m_Login")
            QTest::mouseClick(signin->findChild<QPushButton *>(trigger), Qt::LeftButton);
        else
            QTest::keyClick(signin->findChild<QLineEdit *>(trigger), Qt::Key_Return);
        if (messages.isEmpty())
            QTest::qWait(500); // for a message that must not come
        QTRY_COMPARE(catcher.messages, messages);
        QVERIFY(signin->findChild<QPushButton *>("m_Login")->isVisible() && !m_Kesto.get()->isVisible());
        QCOMPARE(m_Kesto.config.read("username"), QString());
    }

    // A remembered account without a device asks for one. The list ends at the first entry without
    // a name; a reply arriving twice lists once.
    void deviceList()
    {
        Kesto *kesto = m_Kesto.start({{"device", ""}, {"server", "http://127.0.0.1:9"}});
        QWidget *signin = RunningKesto::window("WxSignin");
        QVERIFY(signin->findChild<QComboBox *>("m_Devices")->isVisible() && !kesto->isVisible());
        const QJsonObject reply =
            QJsonDocument::fromJson(
                R"({"devices":{"0":{"id":"1","device":"前台"},"1":{"id":"2"},"2":{"id":"3","device":"C"}}})")
                .object();
        auto *devices = signin->findChild<QComboBox *>("m_Devices");
        devices->addItem("stale entry");
        for (int i = 0; i < 2; ++i)
            QMetaObject::invokeMethod(signin, "getDevices", Q_ARG(QJsonObject, reply));
        QCOMPARE(devices->count(), 1);
        QCOMPARE(devices->itemText(0), QString("1_前台"));
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

    // Of two started together one stays and shows its window, the other exits with 0. Killed,
    // the one left leaves its guard segment behind, which the next two must not mistake for it.
    void guardLetsOneThrough()
    {
        for (int round = 0; round < 3; ++round) {
            QProcess *a = start(), *b = start();
            QTRY_VERIFY_WITH_TIMEOUT(a->state() == QProcess::NotRunning || b->state() == QProcess::NotRunning,
                                     10000);
            QProcess *refused = a->state() == QProcess::NotRunning ? a : b;
            QProcess *stays = refused == a ? b : a;
            QVERIFY(refused->exitStatus() == QProcess::NormalExit && refused->exitCode() == 0);
            const QStringList search{"search", "--onlyvisible", "--pid", QString::number(stays->processId())};
            QTRY_VERIFY_WITH_TIMEOUT(!XDesktop::xdotool(search).isEmpty(), 10000);
            stays->kill();
            QVERIFY(stays->waitForFinished(5000));
        }
    }

    // A second start exits with 0 and brings the records view forward from the program that had
    // the focus; closing the records view ends the program.
    void secondStartBringsTheFirstForward()
    {
        QProcess *first = start();
        const QString records = XDesktop::waitForWindow("演示商户");
        QVERIFY(m_Desktop.focusProbe());
        QProcess *second = start();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QTRY_COMPARE(XDesktop::activeWindow(), records);
        XDesktop::xdotool({"key", "alt+F4"});
        QVERIFY(first->waitForFinished(10000));
        QVERIFY(first->exitStatus() == QProcess::NormalExit && first->exitCode() == 0);
    }

    // The version the updater stored in config.dat against the service's.
    void comparesVersions_data()
    {
        QTest::addColumn<QByteArray>("stored");  // the version entry the updater writes
        QTest::addColumn<QByteArray>("version"); // in the reply
        QTest::addColumn<bool>("outdated");
        row("equal versions", QByteArray("3"), QByteArray("3"), false);
        row("newer service", QByteArray("3"), QByteArray("4"), true);
        row("no version in the reply", QByteArray(), QByteArray(), false);
        row("version as text", QByteArray("3"), QByteArray("\"4\""), false);
        row("stored text not a number", QByteArray("abc"), QByteArray("1"), true);
    }
    void comparesVersions()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, version);
        QFETCH(bool, outdated);
        QFile config(QCoreApplication::applicationDirPath() + "/config.dat");
        QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write(stored.isEmpty() ? QByteArray() : "[version]\nnumber=" + stored + "\n");
        config.close();
        const QByteArray reply = version.isEmpty() ? "{}" : R"({"data":{"version":{"ver":)" + version + "}}}";
        QCOMPARE(clientOutdated(QJsonDocument::fromJson(reply).object()), outdated);
    }

    // A newer version ends the program for the updater beside it.
    void programEndsForTheUpdater()
    {
        m_Kesto.capture.setReply("/index.php/Pay/Pays/getuser", {200, R"({"data":{"version":{"ver":1}}})"});
        QFile updater(m_Dir.filePath("Morvane.exe")); // a stand-in that leaves a mark beside itself
        QVERIFY(updater.open(QIODevice::WriteOnly));
        updater.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/updater-ran\"\n");
        updater.setPermissions(updater.permissions() | QFile::ExeOwner);
        updater.close();
        QProcess *program = start();
        QVERIFY(program->waitForFinished(15000));
        QCOMPARE(program->exitCode(), 0);
        QTRY_VERIFY(QFile::exists(m_Dir.filePath("updater-ran")));
        m_Kesto.capture.setReply("/index.php/Pay/Pays/getuser", {200, R"({"data":{"version":{"ver":0}}})"});
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
            QVERIFY2(!m_Desktop.grabElsewhere(67, 0x04 | locks), qPrintable(QString::number(locks)));
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
        QVERIFY(m_Desktop.grabElsewhere(69, 0x04 | 0x10));
        m_Kesto.start({{"paykey", ""}});
        QVERIFY(m_Desktop.grabElsewhere(38, 0));
        KeysOutcome outcome;
        QMetaObject::invokeMethod(m_Kesto.get(), "SetKeys", Q_RETURN_ARG(KeysOutcome, outcome),
                                  Q_ARG(QString, "Ctrl+F3"), Q_ARG(QString, "Ctrl+F4"));
        QCOMPARE(outcome.pay, MyGlobalShortCut::Taken);
        QCOMPARE(outcome.refund, MyGlobalShortCut::Registered);
        QVERIFY(m_Desktop.grabElsewhere(69, 0x04));
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

    // The setup dialog names what did not work. Saved with autostart on, it shows it on when
    // opened again, so that saving once more keeps the entry. (The end-to-end run sets the keys.)
    void setupSaves_data()
    {
        QTest::addColumn<QStringList>("typed"); // pay key, refund key, autostart
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<QString>("line");
        row("saved", QStringList{"Ctrl+F1", "Ctrl+F2", "on"}, "", "");
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
            QVERIFY(m_Desktop.grabElsewhere(69, 0x04)); // Ctrl+F3
        if (breakage == "autostart") // where a file stands, no autostart folder can be made
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
        QCOMPARE(save(openSetup()), QStringList{"提示|保存成功"});
        QVERIFY(QFile::exists(m_Home->filePath("autostart/Kesto.desktop")));
    }

    // While the dialog is open the keys are released, so that its editors can record them;
    // closed without saving, the stored keys are taken again.
    void keysRestWhileTheDialogIsOpen()
    {
        m_Kesto.start({{"paykey", "Ctrl+F1"}, {"refundkey", "Ctrl+F2"}});
        QWidget *setup = openSetup();
        QVERIFY(m_Desktop.grabElsewhere(67, 0x04)); // Ctrl+F1
        m_Desktop.releaseElsewhere();
        setup->close();
        QVERIFY(!m_Desktop.grabElsewhere(67, 0x04));
    }

private:
    QProcess *start()
    {
        m_Runs.emplace_back(new QProcess);
        m_Runs.back()->start(m_Dir.filePath("Kesto"), QStringList());
        return m_Runs.back().get();
    }
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
    PaymentServer m_Payments;
    RunningKesto m_Kesto;
    QTemporaryDir m_Dir;
    std::vector<std::unique_ptr<QProcess>> m_Runs;
    std::unique_ptr<QTemporaryDir> m_Home;
};

QTEST_MAIN(TestKesto)
#include "tst_kesto.moc"
