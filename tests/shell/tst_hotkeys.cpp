#include "mainwindow/kesto.h"
#include "rows.h"
#include "runningkesto.h"
#include "shell/lookandfeel.h"
#include "shell/myglobalshortcut.h"
#include "xdesktop.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

// The hotkeys for real: grabs on an X server with a window manager (openbox), pressed with
// xdotool while another program (xev) has the focus.
class TestHotkeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        QVERIFY(m_Desktop.startWindowManager());
    }
    void cleanup()
    {
        // A lock key left on would change what the next test types.
        if (!m_Lock.isEmpty())
            XDesktop::xdotool({"key", m_Lock});
        m_Lock.clear();
        m_Kesto.stop();
        m_Desktop.releaseElsewhere();
        m_Desktop.stopTray();
    }

    // The pay key calls up the pay window over the focused program, whatever the lock keys, and
    // the window takes the focus: the digits typed next land in its amount field. Keys that no
    // hotkey holds stay with the focused program: nothing is grabbed for an empty text (X11's
    // keycode 0 would grab every key), a second chord or a key outside the table.
    void keyPress_data()
    {
        QTest::addColumn<QString>("payKey");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QString>("lock");
        QTest::addColumn<bool>("calls"); // else the key reaches the focused program
        row("Ctrl+F1", "Ctrl+F1", "ctrl+F1", "", true);
        row("NumLock on", "Ctrl+F1", "ctrl+F1", "Num_Lock", true);
        row("CapsLock on", "Ctrl+F1", "ctrl+F1", "Caps_Lock", true);
        row("first chord", "Ctrl+K, Ctrl+C", "ctrl+k", "", true);
        row("second chord", "Ctrl+K, Ctrl+C", "ctrl+c", "", false);
        row("empty text", "", "a", "", false);
        row("outside the table", "Ctrl+.", "ctrl+period", "", false);
    }
    void keyPress()
    {
        QFETCH(QString, payKey);
        QFETCH(QString, press);
        QFETCH(QString, lock);
        QFETCH(bool, calls);
        m_Kesto.start({{"paykey", payKey}, {"refundkey", "Ctrl+F2"}});
        QVERIFY(!m_Desktop.focusProbe().isEmpty());
        if (!lock.isEmpty())
            XDesktop::xdotool({"key", m_Lock = lock});
        XDesktop::xdotool({"key", "1"});
        QTRY_VERIFY(m_Desktop.probeReceived("1"));
        XDesktop::xdotool({"key", press});
        QWidget *pay = RunningKesto::window("KestoWindow");
        if (!calls) {
            QTRY_VERIFY(m_Desktop.probeReceived(press.section('+', -1)));
            QVERIFY(!pay->isVisible());
            return;
        }
        QTRY_VERIFY(pay->isVisible());
        QTRY_COMPARE(XDesktop::activeWindow(), QString::number(pay->winId()));
        // For the window manager the cashier asked for the pay window after working in the other
        // program, so no focus-stealing prevention may keep it from the focus.
        QVERIFY(XDesktop::userTime(QString::number(pay->winId())) > m_Desktop.probePress("1"));
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
        QVERIFY(!m_Desktop.focusProbe().isEmpty());
        XDesktop::xdotool({"key", "ctrl+F1"});
        QTRY_VERIFY(RunningKesto::window("wxRefunds")->isVisible());
        QVERIFY(!RunningKesto::window("KestoWindow")->isVisible());
        XDesktop::xdotool({"key", "ctrl+F2"});
        QTRY_VERIFY(RunningKesto::window("KestoWindow")->isVisible());
    }

    // Another client holds Ctrl+F3, but only with NumLock: the grab fails as a whole, and the
    // variants already taken are given back.
    void takenCombinationIsRolledBack()
    {
        QVERIFY(m_Desktop.grabElsewhere(0xFFC0, 0x04 | 0x10));
        m_Kesto.start();
        KeysOutcome outcome;
        QVERIFY(QMetaObject::invokeMethod(m_Kesto.get(), "SetKeys", Q_RETURN_ARG(KeysOutcome, outcome),
                                          Q_ARG(QString, "Ctrl+F3"), Q_ARG(QString, "Ctrl+F4")));
        QCOMPARE(outcome.pay, MyGlobalShortCut::Taken);
        QCOMPARE(outcome.refund, MyGlobalShortCut::Registered);
        QVERIFY(m_Desktop.grabElsewhere(0xFFC0, 0x04));
    }

    // A new keyboard layout moves keys to other keycodes: on a German layout Z sits where Y was.
    void grabsFollowTheKeyboardLayout()
    {
        m_Kesto.start({{"paykey", "Ctrl+Z"}});
        QCOMPARE(QProcess::execute("setxkbmap", {"de"}), 0);
        // The program learns of the new layout in its event loop, long before a cashier presses it.
        QTest::qWait(500);
        QVERIFY(!m_Desktop.focusProbe().isEmpty());
        XDesktop::xdotool({"key", "ctrl+z"});
        QTRY_VERIFY(RunningKesto::window("KestoWindow")->isVisible());
        QCOMPARE(QProcess::execute("setxkbmap", {"us"}), 0);
    }

    // The tray balloon promises only hotkeys that work.
    void balloonNamesWorkingKeysOnly_data()
    {
        QTest::addColumn<QString>("refundKey");
        QTest::addColumn<QString>("hint");
        row("both registered", "Ctrl+F2", "按 Ctrl+F1 呼出支付窗口，按 Ctrl+F2 呼出退款窗口！");
        row("refund key unsupported", "Ctrl+.", "未配置快捷键功能！");
        row("the same key twice", "Ctrl+F1", "未配置快捷键功能！");
        row("only one stored", "", "未配置快捷键功能！");
    }
    void balloonNamesWorkingKeysOnly()
    {
        QFETCH(QString, refundKey);
        QFETCH(QString, hint);
        QVERIFY(m_Desktop.startTray());
        m_Kesto.start({{"paykey", "Ctrl+F1"}, {"refundkey", refundKey}});
        QWidget *balloon = nullptr;
        QTRY_VERIFY((balloon = RunningKesto::window("QBalloonTip")) && balloon->isVisible());
        QStringList texts;
        for (QLabel *label : balloon->findChildren<QLabel *>())
            texts << label->text();
        QVERIFY2(texts.contains(hint), qPrintable(texts.join(" | ")));
        balloon->hide();
    }

private:
    XDesktop m_Desktop;
    RunningKesto m_Kesto;
    QString m_Lock;
};

QTEST_MAIN(TestHotkeys)
#include "tst_hotkeys.moc"
