#include "captureserver.h"
#include "mainwindow/updatecheck.h"
#include "rows.h"
#include "shell/settingsstore.h"
#include "xdesktop.h"

#include <QJsonDocument>
#include <QTemporaryDir>

#include <memory>

// The real program, started as run.sh starts it with a remembered account and device but no
// notification area, so that its records view is its window; and its update check.
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
        QFile::remove(QCoreApplication::applicationDirPath() + "/config.dat");
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

    // The version the updater stored in config.dat against the service's.
    void comparesVersions_data()
    {
        QTest::addColumn<QByteArray>("stored");  // the version entry the updater writes
        QTest::addColumn<QByteArray>("version"); // in the reply
        QTest::addColumn<bool>("outdated");
        row("nothing stored", QByteArray(), QByteArray("1"), true);
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
        m_Capture.setReply("/index.php/Pay/Pays/getuser", {200, R"({"data":{"version":{"ver":1}}})"});
        QFile updater(m_Dir.filePath("Morvane.exe")); // a stand-in that leaves a mark beside itself
        QVERIFY(updater.open(QIODevice::WriteOnly));
        updater.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/updater-ran\"\n");
        updater.setPermissions(updater.permissions() | QFile::ExeOwner);
        updater.close();
        QProcess *program = start();
        QVERIFY(program->waitForFinished(15000));
        QCOMPARE(program->exitCode(), 0);
        QTRY_VERIFY(QFile::exists(m_Dir.filePath("updater-ran")));
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
