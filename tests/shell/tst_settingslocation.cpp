#include "rows.h"
#include "shell/settingsstore.h"

#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

// Where the settings file lives, seen by an ordinary user: the probe (tests/shell/settingsprobe)
// runs as "nobody" when the test runs as root, who may read and write anything.
class TestSettingsLocation : public QObject
{
    Q_OBJECT

private slots:
    void settingsFile_data()
    {
        QTest::addColumn<bool>("writableFolder");
        QTest::addColumn<QString>("placed"); // a config.dat already in the program's folder
        QTest::addColumn<bool>("inUserFolder");
        QTest::addColumn<bool>("written");
        // An installed build: the settings move to the user's folder instead of being lost, from
        // what the administrator put beside the program.
        row("read-only program folder", false, "", true, true);
        row("administrator's file in a read-only folder", false, "readable", true, true);
        // A file that is there but cannot be read is not replaced by a file of one entry.
        row("unreadable file", true, "unreadable", false, false);
    }
    void settingsFile()
    {
        QFETCH(bool, writableFolder);
        QFETCH(QString, placed);
        QFETCH(bool, inUserFolder);
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
            QVERIFY(QFile::setPermissions(placedFile,
                                          placed == "unreadable"
                                              ? QFile::WriteOwner
                                              : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        }
        const QByteArray placedBytes = bytes(placedFile);
        const bool root = geteuid() == 0;
        if (root) {
            QCOMPARE(QProcess::execute("chown", {"-R", "nobody", base.filePath("home")}), 0);
            if (writableFolder)
                QCOMPARE(QProcess::execute("chown", {"-R", "nobody", app}), 0);
        } else if (!writableFolder) {
            QVERIFY(QFile::setPermissions(app, QFile::ReadOwner | QFile::ExeOwner));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("XDG_CONFIG_HOME");
        env.insert("HOME", base.filePath("home"));
        QProcess probe;
        probe.setProcessEnvironment(env);
        if (root)
            probe.start("setpriv",
                        {"--reuid=nobody", "--regid=nogroup", "--clear-groups", app + "/settingsprobe"});
        else
            probe.start(app + "/settingsprobe", QStringList());
        QVERIFY(probe.waitForFinished(10000));

        // The path, the value read back, the "server" entry and whether the write was taken.
        const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n');
        QCOMPARE(lines.value(0), inUserFolder ? base.filePath("home/.config/Kesto/config.dat") : placedFile);
        QCOMPARE(lines.value(1), QString(written ? "alice" : ""));
        QCOMPARE(lines.value(2), QString(placed == "readable" ? "http://shop.example:8080" : ""));
        QCOMPARE(lines.value(3), QString(written ? "written" : "refused"));
        QCOMPARE(bytes(placedFile), placedBytes);
        QFile::setPermissions(app, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    static QByteArray bytes(const QString &path)
    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
};

QTEST_GUILESS_MAIN(TestSettingsLocation)
#include "tst_settingslocation.moc"
