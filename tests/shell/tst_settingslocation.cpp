#include "shell/settingsstore.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

// Where the settings file lives and what a write may do to it, seen by an ordinary user (the
// probe runs as "nobody" when the test runs as root, who may read and write anything).
class TestSettingsLocation : public QObject
{
    Q_OBJECT

private slots:
    void settingsFile_data()
    {
        QTest::addColumn<bool>("writableFolder");
        QTest::addColumn<QString>("placed"); // a config.dat already in the program's folder
        QTest::addColumn<bool>("inUserFolder");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("written");

        // An installed build: the settings move to the user's folder instead of being lost.
        QTest::newRow("read-only program folder") << false << "" << true << "" << true;
        // ... starting from what the administrator put beside the program.
        QTest::newRow("administrator's file in a read-only folder")
            << false << "readable" << true << "http://shop.example:8080" << true;
        // A file that is there but cannot be read is not replaced by a file of one entry.
        QTest::newRow("unreadable file") << true << "unreadable" << false << "" << false;
    }
    void settingsFile()
    {
        QFETCH(bool, writableFolder);
        QFETCH(QString, placed);
        QFETCH(bool, inUserFolder);
        QFETCH(QString, server);
        QFETCH(bool, written);

        QTemporaryDir base;
        QVERIFY(QFile::setPermissions(base.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::ExeOther));
        const QString app = base.filePath("app");
        const QString placedFile = app + "/config.dat";
        QVERIFY(QDir().mkpath(app) && QDir().mkpath(base.filePath("home")));
        QVERIFY(QFile::copy(SETTINGSPROBE, app + "/settingsprobe"));
        if (!placed.isEmpty()) {
            QVERIFY(SettingsStore(placedFile).write("server", "http://shop.example:8080"));
            QVERIFY(
                QFile::setPermissions(placedFile, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        }
        const QByteArray placedBytes = readAll(placedFile);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("XDG_CONFIG_HOME");
        env.insert("HOME", base.filePath("home"));
        QProcess probe;
        probe.setProcessEnvironment(env);
        if (geteuid() == 0) {
            QVERIFY(QProcess::execute("chown", {"-R", "nobody", base.filePath("home")}) == 0);
            if (writableFolder)
                QVERIFY(QProcess::execute("chown", {"-R", "nobody", app}) == 0);
        } else if (!writableFolder) {
            QVERIFY(QFile::setPermissions(app, QFile::ReadOwner | QFile::ExeOwner));
        }
        if (placed == "unreadable")
            QVERIFY(QFile::setPermissions(placedFile, QFile::WriteOwner));
        if (geteuid() == 0)
            probe.start("setpriv",
                        {"--reuid=nobody", "--regid=nogroup", "--clear-groups", app + "/settingsprobe"});
        else
            probe.start(app + "/settingsprobe", QStringList());
        QVERIFY(probe.waitForFinished(10000));

        const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n');
        QCOMPARE(lines.value(0), inUserFolder ? base.filePath("home/.config/Kesto/config.dat") : placedFile);
        QCOMPARE(lines.value(1), QString(written ? "alice" : ""));
        QCOMPARE(lines.value(2), server);
        QCOMPARE(lines.value(3), QString(written ? "written" : "refused"));
        QCOMPARE(readAll(placedFile), placedBytes);
        if (geteuid() != 0)
            QFile::setPermissions(app, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestSettingsLocation)
#include "tst_settingslocation.moc"
