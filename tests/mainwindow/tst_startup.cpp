#include "captureserver.h"
#include "rows.h"
#include "shell/settingsstore.h"
#include "xdesktop.h"

#include <QTemporaryDir>

// The real program, started as run.sh starts it with a remembered account and device, and looked
// at from outside as a cashier meets it.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_Dir.reset(new QTemporaryDir);
        QVERIFY(QFile::copy(KESTO_PROGRAM, program()));
        const SettingsStore config(m_Dir->filePath("config.dat"));
        const QMap<QString, QString> entries{{"server", m_Capture.url("")}, {"username", "demo"},
                                             {"password", "demo123"},       {"remeber", "1"},
                                             {"device", "1_前台"},          {"jm_title", "演示商户"}};
        for (auto it = entries.cbegin(); it != entries.cend(); ++it)
            config.write(it.key(), it.value());
    }
    void cleanup()
    {
        m_First.terminate();
        m_First.waitForFinished(5000);
    }

    // Without a notification area the records view is the program's window: it shows, with or
    // without a window manager, and closing it ends the program.
    void recordsViewWithoutTray_data()
    {
        QTest::addColumn<bool>("windowManager");
        row("bare X server", false);
        row("openbox", true);
    }
    void recordsViewWithoutTray()
    {
        QFETCH(bool, windowManager);
        XDesktop desktop;
        QVERIFY(!windowManager || desktop.startWindowManager());
        m_First.start(program(), QStringList());
        const QString records = XDesktop::waitForWindow("演示商户");
        QVERIFY(!records.isEmpty());
        if (!windowManager)
            return;
        XDesktop::xdotool({"windowactivate", "--sync", records});
        XDesktop::xdotool({"key", "alt+F4"});
        QVERIFY(m_First.waitForFinished(10000));
        QCOMPARE(m_First.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_First.exitCode(), 0);
    }

    // A second start ends with 0 and brings the running program forward: its records view takes
    // the focus from the program that had it, or, in the tray, a new balloon shows.
    void secondStartBringsTheFirstForward_data()
    {
        QTest::addColumn<bool>("tray");
        row("no tray", false);
        row("tray", true);
    }
    void secondStartBringsTheFirstForward()
    {
        QFETCH(bool, tray);
        XDesktop desktop;
        QVERIFY(desktop.startWindowManager());
        QVERIFY(!tray || desktop.startTray());
        m_First.start(program(), QStringList());
        QVERIFY(m_First.waitForStarted());
        QString records;
        if (tray)
            QTRY_VERIFY_WITH_TIMEOUT(windows().size() >= 2, 10000); // the icon and its balloon
        else
            QVERIFY(!(records = XDesktop::waitForWindow("演示商户")).isEmpty());
        QVERIFY(!desktop.focusProbe().isEmpty());
        const QSet<QString> before = windows();

        QProcess second;
        second.start(program(), QStringList());
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        if (tray)
            QTRY_VERIFY(!(windows() - before).isEmpty());
        else
            QTRY_COMPARE(XDesktop::activeWindow(), records);
        QCOMPARE(m_First.state(), QProcess::Running);
    }

private:
    QString program() const { return m_Dir->filePath("Kesto"); }
    QSet<QString> windows() const
    {
        const QStringList found =
            XDesktop::xdotool({"search", "--onlyvisible", "--pid", QString::number(m_First.processId())})
                .split('\n', Qt::SkipEmptyParts);
        return QSet<QString>(found.begin(), found.end());
    }

    CaptureServer m_Capture;
    std::unique_ptr<QTemporaryDir> m_Dir;
    QProcess m_First;
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
