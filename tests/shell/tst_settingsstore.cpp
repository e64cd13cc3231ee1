#include "rows.h"
#include "shell/settingsstore.h"

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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    // "key=value" writes onto a file of the given bytes leave exactly the expected bytes, for its
    // owner only; a read finds the last value whole. A damaged file is kept as .damaged first.
    void writesExactBytes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<QByteArray>("expected");
        row("first entry begins with a line feed", QByteArray(), QStringList{"username=alice"},
            QByteArray::fromHex("0000001E000A0075007300650072006E0061006D0065003D0061006C006900630065"));
        // Among keys that begin alike or stand in a value; a line break becomes a blank.
        row("rewrite keeps the entry's place", QByteArray(),
            QStringList{"a=b=1", "b=2", "b2=演示\n商户", "b=3"}, fileBytes("\na=b=1\nb=3\nb2=演示 商户"));
        row("odd length", QByteArray::fromHex("00000003000A00"), QStringList{"a=b=1"}, fileBytes("\na=b=1"));
        row("length beyond the data, and huge", QByteArray::fromHex("FFFFFFF0") + fileBytes("\na=1").mid(4),
            QStringList{"b=2"}, fileBytes("\nb=2"));
        row("bytes left over", fileBytes("\na=1") + "x", QStringList{"b=2", "a=3"}, fileBytes("\na=3\nb=2"));
    }
    void writesExactBytes()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, writes);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        QFile file(dir.filePath("config.dat"));
        QVERIFY(before.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(before) == before.size()));
        file.close();
        const SettingsStore store(file.fileName());
        for (const QString &write : writes)
            QVERIFY(store.write(write.section('=', 0, 0), write.section('=', 1)));
        QCOMPARE(readAll(file.fileName()).toHex(), expected.toHex());
        QCOMPARE(readAll(file.fileName() + ".damaged").toHex(), before.toHex()); // none, or damaged
        QCOMPARE(int(QFile::permissions(file.fileName()) & 0x0077), 0);          // it holds the password
        QCOMPARE(store.read(writes.last().section('=', 0, 0)), writes.last().section('=', 1));
    }

    // As an ordinary user ("nobody" under root, this program the probe): a read-only program folder
    // moves the settings to the user's folder, starting from the administrator's file there; in a
    // writable folder, that file made unreadable is not replaced by one of a single entry.
    void settingsFile()
    {
        QTemporaryDir base;
        const QString app = base.filePath("app"), placed = app + "/config.dat";
        QVERIFY(QDir().mkpath(app) && QFile::copy(QCoreApplication::applicationFilePath(), app + "/probe"));
        QVERIFY(SettingsStore(placed).write("server", "http://shop.example"));
        QVERIFY(QFile::setPermissions(placed, QFile::ReadOwner));
        QVERIFY(QFile::setPermissions(app, QFile::ReadOwner | QFile::ExeOwner));
        const bool root = geteuid() == 0;
        QVERIFY(!root || QProcess::execute("chown", {"-R", "nobody", base.path()}) == 0);
        qputenv("HOME", base.filePath("home").toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        const QStringList asNobody{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        const QStringList command = (root ? asNobody : QStringList()) + QStringList{app + "/probe", "probe"};
        const auto printed = [&] { // by the probe, with paths within the test's folder
            QProcess probe;
            probe.start(command.first(), command.mid(1));
            probe.waitForFinished(10000);
            return QString(probe.readAllStandardOutput()).remove(base.path() + '/');
        };
        QCOMPARE(printed(), QString("home/.config/Kesto/config.dat\nalice\nhttp://shop.example\nwritten\n"));
        QVERIFY(QFile::setPermissions(app, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::setPermissions(placed, QFile::WriteOwner));
        QCOMPARE(printed(), QString("app/config.dat\n\n\nrefused\n"));
        QVERIFY(QFile::setPermissions(placed, QFile::ReadOwner));
        QCOMPARE(readAll(placed), fileBytes("\nserver=http://shop.example"));
    }
};

// With "probe": a write through the program's own settings path, and what settingsFile compares.
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
