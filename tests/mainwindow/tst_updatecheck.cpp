#include "mainwindow/updatecheck.h"
#include "paymentserver.h"
#include "shell/settingsstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Updater = "Morvane.exe";

// A stand-in updater that leaves a mark beside itself.
void placeUpdater(const QString &dir)
{
    QFile script(dir + "/" + Updater);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/updater-ran\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        for (const QString &name : {QString("config.dat"), Updater, QString("updater-ran")})
            QFile::remove(appDir() + "/" + name);
    }

    void comparesVersions_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("updaterPresent");
        QTest::addColumn<bool>("started");

        QTest::newRow("nothing stored, service at 1")
            << QByteArray() << QByteArray(R"({"data":{"version":{"ver":1}}})") << true << true;
        QTest::newRow("nothing stored, service at 0")
            << QByteArray() << QByteArray(R"({"data":{"version":{"ver":0}}})") << true << false;
        QTest::newRow("no version in the reply")
            << QByteArray() << QByteArray(R"({"list":{}})") << true << false;
        QTest::newRow("equal versions") << QByteArray("[version]\nnumber=3\n")
                                        << QByteArray(R"({"data":{"version":{"ver":3}}})") << true << false;
        QTest::newRow("newer service") << QByteArray("[version]\nnumber=3\n")
                                       << QByteArray(R"({"data":{"version":{"ver":4}}})") << true << true;
        QTest::newRow("version as text")
            << QByteArray("[version]\nnumber=3\n") << QByteArray(R"({"data":{"version":{"ver":"4"}}})")
            << true << false;
        QTest::newRow("stored text not a number")
            << QByteArray("[version]\nnumber=abc\n") << QByteArray(R"({"data":{"version":{"ver":1}}})")
            << true << true;
        QTest::newRow("updater missing")
            << QByteArray() << QByteArray(R"({"data":{"version":{"ver":1}}})") << false << false;
    }
    void comparesVersions()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, reply);
        QFETCH(bool, updaterPresent);
        QFETCH(bool, started);
        if (!stored.isEmpty())
            writeFile(appDir() + "/config.dat", stored);
        if (updaterPresent)
            placeUpdater(appDir());

        QCOMPARE(startUpdaterIfOutdated(QJsonDocument::fromJson(reply).object()), started);
        if (started)
            QTRY_VERIFY(QFile::exists(appDir() + "/updater-ran"));
        else
            QVERIFY(!QFile::exists(appDir() + "/updater-ran"));
    }

    // The whole program, copied to an application folder of its own with the stand-in updater
    // beside it: a newer version ends it, also while the sign-in dialog is open.
    void programEndsForTheUpdater_data()
    {
        QTest::addColumn<int>("serviceVersion");
        QTest::addColumn<bool>("updaterPresent");
        QTest::addColumn<bool>("ends");
        QTest::newRow("newer version") << 1 << true << true;
        QTest::newRow("same version") << 0 << true << false;
        QTest::newRow("updater missing") << 1 << false << false;
    }
    void programEndsForTheUpdater()
    {
        QFETCH(int, serviceVersion);
        QFETCH(bool, updaterPresent);
        QFETCH(bool, ends);
        PaymentServer payments({"--client-version", QString::number(serviceVersion)});
        QVERIFY(payments.isRunning());
        QTemporaryDir app;
        QVERIFY(QFile::copy(KESTO_PROGRAM, app.filePath("Kesto")));
        if (updaterPresent)
            placeUpdater(app.path());
        SettingsStore config(app.filePath("config.dat"));
        config.write("server", payments.baseUrl());
        config.write("username", "demo");
        config.write("password", "demo123");
        config.write("remeber", "0");

        QProcess program;
        program.start(app.filePath("Kesto"), QStringList());
        QVERIFY(program.waitForStarted());
        if (ends) {
            QVERIFY(program.waitForFinished(15000));
            QCOMPARE(program.exitCode(), 0);
            QTRY_VERIFY(QFile::exists(app.filePath("updater-ran")));
            return;
        }
        QVERIFY(!program.waitForFinished(3000));
        QVERIFY(!QFile::exists(app.filePath("updater-ran")));
        program.kill();
        program.waitForFinished();
    }

private:
    QString appDir() const { return QCoreApplication::applicationDirPath(); }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
