#include "rows.h"
#include "shell/settingsstore.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

// The file's bytes for a text: its length in bytes, big-endian, then the UTF-16BE code units.
QByteArray fileBytes(const QString &text)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(quint32(text.size() * 2), bytes.data());
    for (const QChar c : text)
        bytes.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QFile::remove(path()); }

    // Writes are "key=value" in order; the file must then hold exactly the bytes, and every
    // value written last reads back.
    void writesExactBytes_data()
    {
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QByteArray>("expected");
        row("first entry begins with a line feed", QStringList{"username=alice"},
            QByteArray::fromHex("0000001E000A0075007300650072006E0061006D0065003D0061006C006900630065"));
        row("rewrite keeps the entry's place", QStringList{"a=1", "b=2", "a=3"}, fileBytes("\na=3\nb=2"));
        row("chinese as UTF-16", QStringList{"jm_title=演示商户"}, fileBytes("\njm_title=演示商户"));
        row("outside the basic plane", QStringList{"p=\U0001F600"}, fileBytes("\np=\U0001F600"));
        row("empty value", QStringList{"device="}, fileBytes("\ndevice="));
        row("line break cannot create a key", QStringList{"password=x\nremeber=1"},
            fileBytes("\npassword=x remeber=1"));
        row("value holding another entry", QStringList{"a=b=1", "b=2"}, fileBytes("\na=b=1\nb=2"));
    }
    void writesExactBytes()
    {
        QFETCH(QStringList, writes);
        QFETCH(QByteArray, expected);
        const SettingsStore store(path());
        for (const QString &write : writes)
            QVERIFY(store.write(write.section('=', 0, 0), write.section('=', 1)));
        QCOMPARE(readAll(path()).toHex(), expected.toHex());
        const QString last = writes.last();
        QCOMPARE(SettingsStore(path()).read(last.section('=', 0, 0)),
                 last.section('=', 1).replace('\n', ' '));
    }

    void readsValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // of "username"
        row("value with equals signs reads whole", "\nusername=a=b==c", "a=b==c");
        row("last of several lines wins", "\nusername=A\nusername=B", "B");
        row("keys are case-sensitive", "\nUsername=alice", "");
        row("line without equals sign", "\nusername", "");
        row("key is a prefix of another", "\nusername2=bob", "");
        row("no leading line feed", "username=alice\nb=1", "alice");
    }
    void readsValues()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        writeAll(path(), fileBytes(text));
        QCOMPARE(SettingsStore(path()).read("username"), expected);
    }

    // A damaged file reads as empty, allocates nothing large, and the next write starts afresh.
    void damagedFileReadsEmpty_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = fileBytes("\nusername=alice\npassword=secret");
        row("shorter than the length field", QByteArray::fromHex("0000"));
        row("truncated text", good.left(good.size() - 2));
        row("odd length", QByteArray::fromHex("00000003000A00"));
        row("huge length field", QByteArray::fromHex("FFFFFFF0") + good.mid(4));
        row("null string marker", QByteArray::fromHex("FFFFFFFF"));
        QByteArray noise(4096, Qt::Uninitialized);
        QRandomGenerator random(20261206);
        for (char &c : noise)
            c = char(random.bounded(256));
        noise[0] = char(0x7F); // a length far beyond the data
        row("random bytes", noise);
    }
    void damagedFileReadsEmpty()
    {
        QFETCH(QByteArray, bytes);
        writeAll(path(), bytes);
        const SettingsStore store(path());
        QCOMPARE(store.read("username"), QString());
        store.write("device", "1_A");
        QCOMPARE(readAll(path()), fileBytes("\ndevice=1_A"));
    }

    // Nothing is cached: a second store sees the first one's write.
    void twoStoresShareTheFile()
    {
        const SettingsStore first(path());
        const SettingsStore second(path());
        first.write("username", "alice");
        QCOMPARE(second.read("username"), QString("alice"));
    }

    // It holds the password: 0600, in a folder made as needed, by default beside the program.
    void where()
    {
        const QString nested = m_Dir.path() + "/sub/dir/config.dat";
        QVERIFY(SettingsStore(nested).write("password", "secret"));
        QCOMPARE(int(QFile::permissions(nested) & 0x0077), 0); // nothing for the group or others
        QCOMPARE(SettingsStore().path(), QCoreApplication::applicationDirPath() + "/config.dat");
    }

    // Where the file lives, seen by an ordinary user: the probe (tests/shell/settingsprobe) runs as
    // "nobody" when the test runs as root, who may read and write anything.
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
        const QByteArray placedBytes = readAll(placedFile);
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
        QCOMPARE(readAll(placedFile), placedBytes);
        QFile::setPermissions(app, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QString path() const { return m_Dir.filePath("config.dat"); }
    QTemporaryDir m_Dir;
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
