#include "mainwindow/updatecheck.h"
#include "paymentserver.h"
#include "rows.h"
#include "shell/settingsstore.h"

#include <QJsonDocument>
#include <QTemporaryDir>

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
        QTest::addColumn<QByteArray>("stored");  // config.dat as an INI file
        QTest::addColumn<int>("serviceVersion"); // -1: none in the reply, -2: "4" as text
        QTest::addColumn<bool>("updaterPresent");
        QTest::addColumn<bool>("started");
        const QByteArray three = "[version]\nnumber=3\n";
        row("nothing stored", QByteArray(), 1, true, true);
        row("equal versions", three, 3, true, false);
        row("newer service", three, 4, true, true);
        row("no version in the reply", QByteArray(), -1, true, false);
        row("version as text", three, -2, true, false);
        row("stored text not a number", QByteArray("[version]\nnumber=abc\n"), 1, true, true);
        row("updater missing", QByteArray(), 1, false, false);
    }
    void comparesVersions()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, serviceVersion);
        QFETCH(bool, updaterPresent);
        QFETCH(bool, started);
        QFile config(appDir() + "/config.dat");
        QVERIFY(config.open(QIODevice::WriteOnly) && config.write(stored) == stored.size());
        config.close();
        if (updaterPresent)
            placeUpdater(appDir());
        const QByteArray version = serviceVersion == -2 ? "\"4\"" : QByteArray::number(serviceVersion);
        const QByteArray reply =
            serviceVersion == -1 ? "{}" : R"({"data":{"version":{"ver":)" + version + "}}}";
        QCOMPARE(startUpdaterIfOutdated(QJsonDocument::fromJson(reply).object()), started);
        if (started)
            QTRY_VERIFY(QFile::exists(appDir() + "/updater-ran"));
        else
            QVERIFY(!QFile::exists(appDir() + "/updater-ran"));
    }

    // The whole program with the stand-in updater beside it: a newer version ends it, also while
    // the sign-in dialog is open.
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
