#include "shell/settingsstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The file's bytes for a text: its length in bytes, big-endian, then the UTF-16BE code units.
QByteArray fileBytes(const QString &text)
{
    QByteArray bytes;
    const quint32 length = quint32(text.size() * 2);
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char(length >> shift & 0xFF));
    for (const QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xFF));
    }
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

using Writes = QVector<QPair<QString, QString>>;

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_Dir.isValid()); }
    void cleanup() { QFile::remove(path()); }

    void writesExactBytes_data()
    {
        QTest::addColumn<Writes>("writes");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("first entry begins with a line feed")
            << Writes{{"username", "alice"}}
            << QByteArray::fromHex("0000001E000A0075007300650072006E0061006D0065003D0061006C006900630065");
        QTest::newRow("entries in order of first write") << Writes{{"printname", "POS58"}, {"printnum", "1"}}
                                                         << fileBytes("\nprintname=POS58\nprintnum=1");
        QTest::newRow("rewrite keeps the entry's place")
            << Writes{{"a", "1"}, {"b", "2"}, {"a", "3"}} << fileBytes("\na=3\nb=2");
        QTest::newRow("chinese title as UTF-16")
            << Writes{{"jm_title", "演示商户"}} << fileBytes("\njm_title=演示商户");
        QTest::newRow("empty value") << Writes{{"device", ""}} << fileBytes("\ndevice=");
        QTest::newRow("line break cannot create a key")
            << Writes{{"password", "x\nremeber=1"}} << fileBytes("\npassword=x remeber=1");
        QTest::newRow("a value holding another entry's text")
            << Writes{{"a", "b=1"}, {"b", "2"}} << fileBytes("\na=b=1\nb=2");
    }
    void writesExactBytes()
    {
        QFETCH(Writes, writes);
        QFETCH(QByteArray, expected);
        const SettingsStore store(path());
        for (const auto &write : writes)
            store.write(write.first, write.second);
        QCOMPARE(readAll(path()).toHex(), expected.toHex());
    }

    void readsValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        QTest::newRow("value with equals signs reads whole") << "\npassword=a=b==c"
                                                             << "password"
                                                             << "a=b==c";
        QTest::newRow("last of several lines wins") << "\ndevice=1_A\ndevice=2_B"
                                                    << "device"
                                                    << "2_B";
        QTest::newRow("missing key") << "\nusername=alice"
                                     << "password"
                                     << "";
        QTest::newRow("keys are case-sensitive") << "\nUsername=alice"
                                                 << "username"
                                                 << "";
        QTest::newRow("line without equals sign") << "\nusername"
                                                  << "username"
                                                  << "";
        QTest::newRow("key is a prefix of another") << "\nusername2=bob"
                                                    << "username"
                                                    << "";
        QTest::newRow("no leading line feed") << "username=alice\nb=1"
                                              << "username"
                                              << "alice";
    }
    void readsValues()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        writeAll(path(), fileBytes(text));
        QCOMPARE(SettingsStore(path()).read(key), expected);
    }

    void valueRoundTrips_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("equals") << "a=b";
        QTest::newRow("ampersand and percent") << "p&ss%20+x";
        QTest::newRow("chinese") << "12_前台";
        QTest::newRow("outside the basic plane") << QString::fromUtf8("\xF0\x9F\x98\x80 ok");
    }
    void valueRoundTrips()
    {
        QFETCH(QString, value);
        SettingsStore(path()).write("password", value);
        QCOMPARE(SettingsStore(path()).read("password"), value);
    }

    void twoStoresShareTheFile()
    {
        const SettingsStore first(path());
        const SettingsStore second(path());
        QCOMPARE(second.read("username"), QString());
        first.write("username", "alice");
        QCOMPARE(second.read("username"), QString("alice"));
        second.write("username", "bob");
        QCOMPARE(first.read("username"), QString("bob"));
    }

    void damagedFileReadsEmpty_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = fileBytes("\nusername=alice\npassword=secret");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("shorter than the length field") << QByteArray::fromHex("0000");
        QTest::newRow("truncated text") << good.left(good.size() - 2);
        QTest::newRow("odd length") << QByteArray::fromHex("00000003000A00");
        QTest::newRow("huge length field") << QByteArray::fromHex("FFFFFFF0") + good.mid(4);
        QTest::newRow("null string marker") << QByteArray::fromHex("FFFFFFFF");
        QByteArray noise(4096, Qt::Uninitialized);
        QRandomGenerator random(20261206);
        for (char &c : noise)
            c = char(random.bounded(256));
        noise[0] = char(0x7F); // a length far beyond the data
        QTest::newRow("random bytes") << noise;
    }
    void damagedFileReadsEmpty()
    {
        QFETCH(QByteArray, bytes);
        writeAll(path(), bytes);
        const SettingsStore store(path());
        QCOMPARE(store.read("username"), QString());
        QCOMPARE(store.read("password"), QString());

        store.write("device", "1_A");
        QCOMPARE(readAll(path()), fileBytes("\ndevice=1_A"));
    }

    void missingFolderIsCreated()
    {
        const QString nested = m_Dir.path() + "/sub/dir/config.dat";
        SettingsStore(nested).write("username", "alice");
        QCOMPARE(SettingsStore(nested).read("username"), QString("alice"));
    }

#ifdef Q_OS_UNIX
    void fileIsPrivateToItsOwner()
    {
        SettingsStore(path()).write("password", "secret");
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFile::permissions(path()) & others, QFile::Permissions());
        QVERIFY(QFile::permissions(path()) & QFile::ReadOwner);
    }
#endif

    void defaultStoreSitsBesideTheProgram()
    {
        QCOMPARE(SettingsStore().path(), QCoreApplication::applicationDirPath() + "/config.dat");
    }

private:
    QString path() const
    {
        return m_Dir.filePath("config.dat");
    }
    QTemporaryDir m_Dir;
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
