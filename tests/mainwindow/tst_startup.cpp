#include "captureserver.h"
#include "shell/settingsstore.h"
#include "xdesktop.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The real program, started as run.sh starts it with a remembered account and device but no
// notification area, so that its records view is its window.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::copy(KESTO_PROGRAM, m_Dir.filePath("Kesto")));
        const SettingsStore config(m_Dir.filePath("config.dat"));
        for (const QString entry :
             {"server=" + m_Capture.url(""), QString("username=demo"), QString("password=demo123"),
              QString("remeber=1"), QString("device=1_前台"), QString("jm_title=演示商户")})
            config.write(entry.section('=', 0, 0), entry.section('=', 1));
    }
    void cleanup()
    {
        for (const auto &run : m_Runs) {
            run->terminate();
            run->waitForFinished(5000);
        }
        m_Runs.clear();
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
            QCOMPARE(refused->exitStatus(), QProcess::NormalExit);
            QCOMPARE(refused->exitCode(), 0);
            QTRY_VERIFY_WITH_TIMEOUT(
                !XDesktop::xdotool({"search", "--onlyvisible", "--pid", QString::number(stays->processId())})
                     .isEmpty(),
                10000);
            stays->kill();
            QVERIFY(stays->waitForFinished(5000));
        }
    }

    // A second start exits with 0 and brings the records view forward from the program that had
    // the focus; closing the records view ends the program.
    void secondStartBringsTheFirstForward()
    {
        XDesktop desktop;
        QVERIFY(desktop.startWindowManager());
        QProcess *first = start();
        const QString records = XDesktop::waitForWindow("演示商户");
        QVERIFY(desktop.focusProbe());
        QProcess *second = start();
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QTRY_COMPARE(XDesktop::activeWindow(), records);
        XDesktop::xdotool({"key", "alt+F4"});
        QVERIFY(first->waitForFinished(10000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
    }

private:
    QProcess *start()
    {
        m_Runs.emplace_back(new QProcess);
        m_Runs.back()->start(m_Dir.filePath("Kesto"), QStringList());
        return m_Runs.back().get();
    }

    CaptureServer m_Capture;
    QTemporaryDir m_Dir;
    std::vector<std::unique_ptr<QProcess>> m_Runs;
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
