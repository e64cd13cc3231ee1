#include "captureserver.h"
#include "mainwindow/kesto.h"
#include "shell/lookandfeel.h"
#include "shell/myglobalshortcut.h"
#include "shell/settingsstore.h"
#include "xdesktop.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

// The hotkeys for real: grabs on an X server with a window manager (openbox), pressed with
// xdotool while another program (xev) has the focus.
class TestHotkeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        m_Capture.setReply("/index.php/Pay/Pays/getuser", {200, R"({"data":{"version":{"ver":0}}})"});
        QVERIFY(m_Desktop.startWindowManager());
    }
    void cleanup()
    {
        // A lock key left on would change what the next test types.
        if (!m_Lock.isEmpty())
            XDesktop::xdotool({"key", m_Lock});
        m_Lock.clear();
        m_Kesto.reset();
        m_Desktop.releaseElsewhere();
        m_Desktop.stopTray();
        QFile::remove(m_Config.path());
    }

    // The pay key calls up the pay window over the focused program, whatever the lock keys, and
    // the window takes the focus: the digits typed next land in its amount field.
    void payKeyCallsUpThePayWindow_data()
    {
        QTest::addColumn<QString>("payKey");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QString>("lock");
        QTest::newRow("Ctrl+F1") << "Ctrl+F1"
                                 << "ctrl+F1" << QString();
        QTest::newRow("NumLock on") << "Ctrl+F1"
                                    << "ctrl+F1"
                                    << "Num_Lock";
        QTest::newRow("CapsLock on") << "Ctrl+F1"
                                     << "ctrl+F1"
                                     << "Caps_Lock";
        QTest::newRow("first chord only") << "Ctrl+K, Ctrl+C"
                                          << "ctrl+k" << QString();
    }
    void payKeyCallsUpThePayWindow()
    {
        QFETCH(QString, payKey);
        QFETCH(QString, press);
        QFETCH(QString, lock);
        start(payKey, "Ctrl+F2");
        QSignalSpy activated(shortcut(0), &MyGlobalShortCut::activated);
        QVERIFY(!m_Desktop.focusProbe().isEmpty());
        if (!lock.isEmpty())
            XDesktop::xdotool({"key", m_Lock = lock});
        XDesktop::xdotool({"key", "1"});
        QTRY_VERIFY(m_Desktop.probeReceived("1"));

        XDesktop::xdotool({"key", press});
        QWidget *pay = window("KestoWindow");
        QTRY_VERIFY(pay->isVisible());
        QTRY_COMPARE(XDesktop::activeWindow(), QString::number(pay->winId()));
        // For the window manager the cashier asked for the pay window after working in the other
        // program, so no focus-stealing prevention may keep it from the focus.
        QVERIFY(XDesktop::userTime(QString::number(pay->winId())) > m_Desktop.probePress("1"));
        XDesktop::xdotool({"type", "12"});
        QTRY_COMPARE(pay->findChild<QLineEdit *>("m_Money")->text(), QString("12"));
        QCOMPARE(activated.size(), 1);
        QVERIFY(!window("wxRefunds")->isVisible());
    }

    // After a swap each key reaches the window it now belongs to.
    void keysFollowASwap()
    {
        start("Ctrl+F1", "Ctrl+F2");
        QMetaObject::invokeMethod(m_Kesto.get(), "SetKeys", Q_ARG(QString, "Ctrl+F2"),
                                  Q_ARG(QString, "Ctrl+F1"));
        QVERIFY(!m_Desktop.focusProbe().isEmpty());
        XDesktop::xdotool({"key", "ctrl+F1"});
        QTRY_VERIFY(window("wxRefunds")->isVisible());
        QVERIFY(!window("KestoWindow")->isVisible());
        XDesktop::xdotool({"key", "ctrl+F2"});
        QTRY_VERIFY(window("KestoWindow")->isVisible());
        QVERIFY(window("wxRefunds")->isVisible());
    }

    // Keys that no hotkey holds stay with the focused program: nothing is grabbed for an empty
    // text (X11's keycode 0 would grab every key), a second chord or a key outside the table.
    void otherKeysReachTheFocusedProgram_data()
    {
        QTest::addColumn<QString>("payKey");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QString>("keysym");
        QTest::newRow("empty text") << ""
                                    << "a"
                                    << "a";
        QTest::newRow("second chord") << "Ctrl+K, Ctrl+C"
                                      << "ctrl+c"
                                      << "c";
        QTest::newRow("outside the table") << "Ctrl+."
                                           << "ctrl+period"
                                           << "period";
    }
    void otherKeysReachTheFocusedProgram()
    {
        QFETCH(QString, payKey);
        QFETCH(QString, press);
        QFETCH(QString, keysym);
        start(payKey, "");
        QVERIFY(!m_Desktop.focusProbe().isEmpty());
        XDesktop::xdotool({"key", press});
        QTRY_VERIFY(m_Desktop.probeReceived(keysym));
        QVERIFY(!window("KestoWindow")->isVisible());
    }

    // Another client holds Ctrl+F3, but only with NumLock: the grab fails as a whole, and the
    // variants already taken are given back.
    void takenCombinationIsRolledBack()
    {
        QVERIFY(m_Desktop.grabElsewhere(0xFFC0, 0x04 | 0x10));
        start("", "");
        KeysOutcome outcome;
        QVERIFY(QMetaObject::invokeMethod(m_Kesto.get(), "SetKeys", Q_RETURN_ARG(KeysOutcome, outcome),
                                          Q_ARG(QString, "Ctrl+F3"), Q_ARG(QString, "Ctrl+F4")));
        QCOMPARE(outcome.pay, MyGlobalShortCut::Taken);
        QCOMPARE(outcome.refund, MyGlobalShortCut::Registered);
        QVERIFY(!shortcut(0)->isRegistered());
        QVERIFY(m_Desktop.grabElsewhere(0xFFC0, 0x04));
    }

    // A new keyboard layout moves keys to other keycodes: on a German layout Z sits where Y was.
    void grabsFollowTheKeyboardLayout()
    {
        start("Ctrl+Z", "");
        QCOMPARE(QProcess::execute("setxkbmap", {"de"}), 0);
        // The program learns of the new layout in its event loop, as it would long before a cashier
        // presses the key.
        QTest::qWait(500);
        QVERIFY(!m_Desktop.focusProbe().isEmpty());
        XDesktop::xdotool({"key", "ctrl+z"});
        QTRY_VERIFY(window("KestoWindow")->isVisible());
        QCOMPARE(QProcess::execute("setxkbmap", {"us"}), 0);
    }

    // The tray balloon promises only hotkeys that work.
    void balloonNamesWorkingKeysOnly_data()
    {
        QTest::addColumn<QString>("payKey");
        QTest::addColumn<QString>("refundKey");
        QTest::addColumn<QString>("hint");
        const QString none = "未配置快捷键功能！";
        QTest::newRow("both registered") << "Ctrl+F1"
                                         << "Ctrl+F2"
                                         << "按 Ctrl+F1 呼出支付窗口，按 Ctrl+F2 呼出退款窗口！";
        QTest::newRow("refund key unsupported") << "Ctrl+F1"
                                                << "Ctrl+." << none;
        QTest::newRow("the same key twice") << "Ctrl+F1"
                                            << "Ctrl+F1" << none;
        QTest::newRow("only one stored") << "Ctrl+F1"
                                         << "" << none;
    }
    void balloonNamesWorkingKeysOnly()
    {
        QFETCH(QString, payKey);
        QFETCH(QString, refundKey);
        QFETCH(QString, hint);
        QVERIFY(m_Desktop.startTray());
        start(payKey, refundKey);
        QWidget *balloon = nullptr;
        QTRY_VERIFY((balloon = window("QBalloonTip")) && balloon->isVisible());
        QStringList texts;
        for (QLabel *label : balloon->findChildren<QLabel *>())
            texts << label->text();
        QVERIFY2(texts.contains(hint), qPrintable(texts.join(" | ")));
        balloon->hide();
    }

private:
    void start(const QString &payKey, const QString &refundKey)
    {
        for (const auto &entry : QVector<QPair<QString, QString>>{{"server", m_Capture.url("")},
                                                                  {"username", "demo"},
                                                                  {"password", "demo123"},
                                                                  {"remeber", "1"},
                                                                  {"device", "1_前台"},
                                                                  {"jm_title", "演示商户"},
                                                                  {"paykey", payKey},
                                                                  {"refundkey", refundKey}})
            m_Config.write(entry.first, entry.second);
        m_Kesto.reset(new Kesto);
    }
    MyGlobalShortCut *shortcut(int index) const
    {
        return m_Kesto->findChildren<MyGlobalShortCut *>().value(index);
    }
    static QWidget *window(const char *className)
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->inherits(className))
                return widget;
        }
        return nullptr;
    }

    CaptureServer m_Capture;
    SettingsStore m_Config;
    XDesktop m_Desktop;
    std::unique_ptr<Kesto> m_Kesto;
    QString m_Lock;
};

QTEST_MAIN(TestHotkeys)
#include "tst_hotkeys.moc"
