#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// Where the program's folder is read-only (an installed build), the settings move to the
// user's configuration folder instead of being lost.
class TestSettingsLocation : public QObject
{
    Q_OBJECT

private slots:
    void readOnlyProgramFolder()
    {
        QTemporaryDir base;
        QVERIFY(QFile::setPermissions(base.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::ExeOther));
        const QString program = base.filePath("app/settingsprobe");
        QVERIFY(QDir().mkpath(base.filePath("app")) && QDir().mkpath(base.filePath("home")));
        QVERIFY(QFile::copy(SETTINGSPROBE, program));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("XDG_CONFIG_HOME");
        env.insert("HOME", base.filePath("home"));
        QProcess probe;
        probe.setProcessEnvironment(env);
        if (geteuid() == 0) {
            // Root may write anywhere; the probe runs as an ordinary user instead.
            QVERIFY(QProcess::execute("chown", {"-R", "nobody", base.filePath("home")}) == 0);
            probe.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", program});
        } else {
            QVERIFY(QFile::setPermissions(base.filePath("app"), QFile::ReadOwner | QFile::ExeOwner));
            probe.start(program, QStringList());
        }
        QVERIFY(probe.waitForFinished(10000));
        const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n');
        QCOMPARE(lines.value(0), base.filePath("home/.config/Kesto/config.dat"));
        QCOMPARE(lines.value(1), QString("alice"));
        QVERIFY(!QFile::exists(base.filePath("app/config.dat")));
    }
};

QTEST_GUILESS_MAIN(TestSettingsLocation)
#include "tst_settingslocation.moc"
