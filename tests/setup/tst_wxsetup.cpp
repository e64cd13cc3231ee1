#include "mainwindow/kesto.h"
#include "messagecatcher.h"
#include "rows.h"
#include "runningkesto.h"
#include "shell/lookandfeel.h"
#include "xdesktop.h"

#include <QCheckBox>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

// The global hotkeys and the setup dialog that sets them, for real: grabs on an X server with
// openbox, keys pressed with xdotool while xev has the focus.
class TestWxSetup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        QVERIFY(m_Desktop.startWindowManager());
    }
    void init()
    {
        m_Home.reset(new QTemporaryDir);
        qputenv("XDG_CONFIG_HOME", m_Home->path().toUtf8());
    }
    void cleanup()
    {
        if (!m_Lock.isEmpty()) // a lock key left on would change what the next test types
            XDesktop::xdotool({"key", m_Lock});
        m_Lock.clear();
        m_Kesto.stop();
        QDir(m_Kesto.config.path()).removeRecursively();
        m_Desktop.releaseElsewhere();
    }

    // The pay key calls the pay window over the focused program whatever the lock keys, and the
    // digits typed next land in its amount field.
    void keyPress_data()
    {
        QTest::addColumn<QString>("lock");
        row("NumLock on", "Num_Lock");
        row("CapsLock on", "Caps_Lock");
    }
    void keyPress()
    {
        QFETCH(QString, lock);
        m_Kesto.start({{"paykey", "Ctrl+F1"}, {"refundkey", "Ctrl+F2"}});
        QVERIFY(m_Desktop.focusProbe());
        XDesktop::xdotool({"key", m_Lock = lock});
        XDesktop::xdotool({"key", "ctrl+F1"});
        QWidget *pay = RunningKesto::window("KestoWindow");
        QTRY_COMPARE(XDesktop::activeWindow(), QString::number(pay->winId()));
        XDesktop::xdotool({"type", "12"});
        QTRY_COMPARE(pay->findChild<QLineEdit *>("m_Money")->text(), QString("12"));
        QVERIFY(!RunningKesto::window("wxRefunds")->isVisible());
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

    // Stored as typed; opened again the dialog shows autostart on, and saving keeps the entry.
    void savesAsTyped()
    {
        m_Kesto.start();
        QWidget *setup = openSetup();
        fill(setup, {"Ctrl+F1", "Ctrl+Shift+R", "POS 58", "两份", "on", "off"});
        QCOMPARE(save(setup), QStringList{"提示|保存成功"});
        QVERIFY(!setup->isVisible());
        const QMap<QString, QString> stored{{"paykey", "Ctrl+F1"},
                                            {"refundkey", "Ctrl+Shift+R"},
                                            {"printname", "POS 58"},
                                            {"printnum", "两份"},
                                            {"remeber", "0"}};
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            QCOMPARE(m_Kesto.config.read(it.key()), it.value());
        QCOMPARE(save(openSetup()), QStringList{"提示|保存成功"});
        QVERIFY(QFile::exists(m_Home->filePath("autostart/Kesto.desktop")));
    }

    void reportsWhatDidNotWork_data()
    {
        QTest::addColumn<QString>("payKey");
        QTest::addColumn<QString>("refundKey");
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<QString>("line");
        row("pay key taken", "Ctrl+F3", "Ctrl+F2", "grab", "支付快捷键Ctrl+F3已被其他程序占用");
        row("refund key taken", "Ctrl+F2", "Ctrl+F3", "grab", "退款快捷键Ctrl+F3已被其他程序占用");
        row("the same key twice", "Ctrl+F1", "Ctrl+F1", "", "支付快捷键与退款快捷键相同");
        row("unsupported key", "Ctrl+.", "Ctrl+F2", "", "快捷键Ctrl+.不受支持");
        row("autostart", "Ctrl+F1", "Ctrl+F2", "autostart", "随机启动设置失败");
        row("settings file", "Ctrl+F1", "Ctrl+F2", "settings", "配置文件无法写入");
    }
    void reportsWhatDidNotWork()
    {
        QFETCH(QString, payKey);
        QFETCH(QString, refundKey);
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
        fill(setup, {payKey, refundKey, "", "1", breakage == "autostart" ? "on" : "off", "off"});
        QCOMPARE(save(setup), QStringList{"提示|已保存，但以下设置未生效：\n" + line});
    }

    // While the dialog is open the pay key is only a key for its editor; closed without saving,
    // the stored keys work again.
    void keysRestWhileTheDialogIsOpen()
    {
        m_Kesto.start({{"paykey", "Ctrl+F1"}, {"refundkey", "Ctrl+F2"}});
        QWidget *setup = openSetup();
        auto *editor = setup->findChild<QKeySequenceEdit *>("m_PayKey");
        editor->clear();
        editor->setFocus();
        QTRY_COMPARE(XDesktop::activeWindow(), QString::number(setup->winId()));
        XDesktop::xdotool({"key", "ctrl+F1"});
        QTRY_COMPARE(editor->keySequence(), QKeySequence("Ctrl+F1"));
        QVERIFY(!RunningKesto::window("KestoWindow")->isVisible());
        for (QPushButton *button : setup->findChildren<QPushButton *>()) {
            if (button->text() == "X")
                QTest::mouseClick(button, Qt::LeftButton);
        }
        QVERIFY(!setup->isVisible());
        QVERIFY(m_Desktop.focusProbe());
        XDesktop::xdotool({"key", "ctrl+F1"});
        QTRY_VERIFY(RunningKesto::window("KestoWindow")->isVisible());
    }

private:
    QWidget *openSetup()
    {
        QMetaObject::invokeMethod(m_Kesto.get(), "Setups");
        return RunningKesto::window("WxSetup");
    }
    // Pay key, refund key, printer, copies, autostart and remembered account.
    static void fill(QWidget *setup, const QStringList &texts)
    {
        setup->findChild<QKeySequenceEdit *>("m_PayKey")->setKeySequence(QKeySequence(texts[0]));
        setup->findChild<QKeySequenceEdit *>("m_RefundKey")->setKeySequence(QKeySequence(texts[1]));
        setup->findChild<QLineEdit *>("m_PrintName")->setText(texts[2]);
        setup->findChild<QLineEdit *>("m_PrintNum")->setText(texts[3]);
        setup->findChild<QCheckBox *>("m_Starts")->setChecked(texts[4] == "on");
        setup->findChild<QCheckBox *>("m_Signal")->setChecked(texts[5] == "on");
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
    QString m_Lock;
};

QTEST_MAIN(TestWxSetup)
#include "tst_wxsetup.moc"
