#include "rows.h"
#include "shell/settingsstore.h"

#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

namespace {

// The file's bytes for a text, in the form the first row of writesExactBytes spells out.
QByteArray fileBytes(const QString &text)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << text;
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QFile::remove(path()); }

    // "key=value" writes in order; the file then holds exactly these bytes, for its owner only,
    // and reads find the value of the key, whole to the end of its line.
    void writesExactBytes_data()
    {
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QByteArray>("expected");
        row("first entry begins with a line feed", QStringList{"username=alice"},
            QByteArray::fromHex("0000001E000A0075007300650072006E0061006D0065003D0061006C006900630065"));
        row("rewrite keeps the entry's place", QStringList{"a=1", "b=2", "a=3"}, fileBytes("\na=3\nb=2"));
        row("value holding another entry", QStringList{"a=b=1", "b=2", "b2=3"},
            fileBytes("\na=b=1\nb=2\nb2=3"));
        row("chinese, line break a blank", QStringList{"jm_title=演示\n商户"},
            fileBytes("\njm_title=演示 商户"));
    }
    void writesExactBytes()
    {
        QFETCH(QStringList, writes);
        QFETCH(QByteArray, expected);
        const SettingsStore store(path());
        QMap<QString, QString> values;
        for (const QString &write : writes) {
            QVERIFY(store.write(write.section('=', 0, 0), write.section('=', 1)));
            values[write.section('=', 0, 0)] = write.section('=', 1).replace('\n', ' ');
        }
        QCOMPARE(readAll(path()).toHex(), expected.toHex());
        QCOMPARE(int(QFile::permissions(path()) & 0x0077), 0); // it holds the password
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QCOMPARE(SettingsStore(path()).read(it.key()), it.value());
    }

    // A damaged file reads as empty, allocates nothing large, and the next write starts afresh.
    void damagedFileReadsEmpty_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        row("odd length", QByteArray::fromHex("00000003000A00"));
        row("length beyond the data, and huge",
            QByteArray::fromHex("FFFFFFF0") + fileBytes("\nusername=alice").mid(4));
    }
    void damagedFileReadsEmpty()
    {
        QFETCH(QByteArray, bytes);
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const SettingsStore store(path());
        QCOMPARE(store.read("username"), QString());
        store.write("device", "1_A");
        QCOMPARE(readAll(path()), fileBytes("\ndevice=1_A"));
    }

    // As an ordinary user (this program as the probe, run as "nobody" under root): a
    // read-only program folder moves the settings to the user's folder, read from the file the
    // administrator put there; a file that cannot be read is not replaced by a file of one entry.
    void settingsFile_data()
    {
        QTest::addColumn<bool>("readable"); // the file in the program's folder, else the folder
        row("administrator's file in a read-only folder", true);
        row("unreadable file", false);
    }
    void settingsFile()
    {
        QFETCH(bool, readable);
        QTemporaryDir base;
        QVERIFY(QFile::setPermissions(base.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::ExeOther));
        const QString app = base.filePath("app"), placed = app + "/config.dat";
        QVERIFY(QDir().mkpath(app) && QDir().mkpath(base.filePath("home")));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), app + "/probe"));
        QVERIFY(SettingsStore(placed).write("server", "http://shop.example:8080"));
        QVERIFY(QFile::setPermissions(placed,
                                      readable ? QFile::ReadOwner | QFile::ReadOther : QFile::WriteOwner));
        const QByteArray placedBytes = readAll(placed);
        const bool root = geteuid() == 0;
        if (root)
            QCOMPARE(QProcess::execute("chown", QStringList{"-R", "nobody", base.filePath("home")} +
                                                    (readable ? QStringList() : QStringList{app})),
                     0);
        else if (readable)
            QVERIFY(QFile::setPermissions(app, QFile::ReadOwner | QFile::ExeOwner));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("XDG_CONFIG_HOME");
        env.insert("HOME", base.filePath("home"));
        QProcess probe;
        probe.setProcessEnvironment(env);
        probe.start(
            root ? "setpriv" : app + "/probe",
            root ? QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", app + "/probe", "probe"}
                 : QStringList{"probe"});
        QVERIFY(probe.waitForFinished(10000));
        // The path, the value read back, the "server" entry and whether the write was taken.
        const QStringList expected = readable
                                         ? QStringList{base.filePath("home/.config/Kesto/config.dat"),
                                                       "alice", "http://shop.example:8080", "written", ""}
                                         : QStringList{placed, "", "", "refused", ""};
        QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()).split('\n'), expected);
        QCOMPARE(readAll(placed), placedBytes);
        QFile::setPermissions(app, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QString path() const { return m_Dir.filePath("config.dat"); }
    QTemporaryDir m_Dir;
};

// With "probe" this program writes a setting through the program's own settings path and prints
// the path, the value read back, the "server" entry and whether the write was taken.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == "probe") {
        const bool written = SettingsStore().write("username", "alice");
        const SettingsStore again;
        std::printf("%s\n%s\n%s\n%s\n", qPrintable(again.path()), qPrintable(again.read("username")),
                    qPrintable(again.read("server")), written ? "written" : "refused");
        return 0;
    }
    TestSettingsStore test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_settingsstore.moc"
