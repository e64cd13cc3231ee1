#include "mainwindow/updatecheck.h"
#include "paymentserver.h"
#include "rows.h"
#include "shell/settingsstore.h"

#include <QJsonDocument>
#include <QTemporaryDir>

struct Versions
{
    const char *tag;
    const char *stored; // config.dat as an INI file
    const char *reply;
    bool updaterPresent;
    bool started;
};
Q_DECLARE_METATYPE(Versions)

namespace {

// A stand-in updater that leaves a mark beside itself.
void placeUpdater(const QString &dir)
{
    QFile script(dir + "/Morvane.exe");
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/updater-ran\"\n");
    script.setPermissions(script.permissions() | QFile::ExeOwner);
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        for (const QString name : {"config.dat", "Morvane.exe", "updater-ran"})
            QFile::remove(appDir() + "/" + name);
    }

    void comparesVersions_data()
    {
        static const Versions rows[] = {
            {"nothing stored, service at 1", "", R"({"data":{"version":{"ver":1}}})", true, true},
            {"nothing stored, service at 0", "", R"({"data":{"version":{"ver":0}}})", true, false},
            {"no version in the reply", "", R"({"list":{}})", true, false},
            {"equal versions", "[version]\nnumber=3\n", R"({"data":{"version":{"ver":3}}})", true, false},
            {"newer service", "[version]\nnumber=3\n", R"({"data":{"version":{"ver":4}}})", true, true},
            {"version as text", "[version]\nnumber=3\n", R"({"data":{"version":{"ver":"4"}}})", true, false},
            {"stored text not a number", "[version]\nnumber=abc\n", R"({"data":{"version":{"ver":1}}})", true,
             true},
            {"updater missing", "", R"({"data":{"version":{"ver":1}}})", false, false},
        };
        addRows(rows);
    }
    void comparesVersions()
    {
        QFETCH(Versions, row);
        QFile stored(appDir() + "/config.dat");
        QVERIFY(stored.open(QIODevice::WriteOnly));
        stored.write(row.stored);
        stored.close();
        if (row.updaterPresent)
            placeUpdater(appDir());
        QCOMPARE(startUpdaterIfOutdated(QJsonDocument::fromJson(row.reply).object()), row.started);
        if (row.started)
            QTRY_VERIFY(QFile::exists(appDir() + "/updater-ran"));
        else
            QVERIFY(!QFile::exists(appDir() + "/updater-ran"));
    }

    // The whole program, in a folder of its own with the stand-in updater beside it: a newer
    // version ends it, also while the sign-in dialog is open.
    void programEndsForTheUpdater()
    {
        PaymentServer payments({"--client-version", "1"});
        QTemporaryDir app;
        QVERIFY(QFile::copy(KESTO_PROGRAM, app.filePath("Kesto")));
        placeUpdater(app.path());
        SettingsStore config(app.filePath("config.dat"));
        config.write("server", payments.baseUrl());
        config.write("username", "demo");
        config.write("password", "demo123");
        QProcess program;
        program.start(app.filePath("Kesto"), QStringList());
        QVERIFY(program.waitForFinished(15000));
        QCOMPARE(program.exitCode(), 0);
        QTRY_VERIFY(QFile::exists(app.filePath("updater-ran")));
    }

private:
    QString appDir() const { return QCoreApplication::applicationDirPath(); }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
