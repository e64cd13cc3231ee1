#include "platform/autostartentry.h"
#include "platform/keytables.h"
#include "shell/myglobalshortcut.h"
#include "shell/settingsstore.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

// The key tables of both platforms and the autostart entry, without a display: this test runs
// offscreen, where no registration may touch X.
class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void keyTables_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("virtualKey");
        QTest::addColumn<uint>("windowsModifiers");
        QTest::addColumn<uint>("keysym");
        QTest::addColumn<uint>("x11Modifiers");

        QTest::newRow("Ctrl+F1") << "Ctrl+F1" << 0x70u << 2u << 0xFFBEu << 0x04u;
        QTest::newRow("Ctrl+Alt+Shift+Z") << "Ctrl+Alt+Shift+Z" << 0x5Au << 7u << 0x7Au << 0x0Du;
        QTest::newRow("F5") << "F5" << 0x74u << 0u << 0xFFC2u << 0u;
        QTest::newRow("F24") << "Meta+F24" << 0x87u << 8u << 0xFFD5u << 0x40u;
        QTest::newRow("keypad digit") << "Num+5" << 0u << 0u << 0u << 0u;
        QTest::newRow("asterisk is the keypad key") << "Ctrl+*" << 0x6Au << 2u << 0xFFAAu << 0x04u;
        QTest::newRow("comma is the separator") << "Alt+," << 0x6Cu << 1u << 0xFFACu << 0x08u;
        QTest::newRow("Print") << "Print" << 0x2Au << 0u << 0xFF61u << 0u;
        QTest::newRow("only the first chord") << "Ctrl+K, Ctrl+C" << 0x4Bu << 2u << 0x6Bu << 0x04u;
        QTest::newRow("outside the table") << "Ctrl+." << 0u << 2u << 0u << 0x04u;
        QTest::newRow("empty") << "" << 0u << 0u << 0u << 0u;
    }
    void keyTables()
    {
        QFETCH(QString, text);
        QFETCH(uint, virtualKey);
        QFETCH(uint, windowsModifiers);
        QFETCH(uint, keysym);
        QFETCH(uint, x11Modifiers);
        const HotkeyChord chord = firstChord(QKeySequence::fromString(text, QKeySequence::PortableText));
        QCOMPARE(::windowsVirtualKey(chord.key), virtualKey);
        QCOMPARE(::windowsModifiers(chord.modifiers), windowsModifiers);
        QCOMPARE(x11Keysym(chord.key), keysym);
        QCOMPARE(::x11Modifiers(chord.modifiers), x11Modifiers);
    }

    // A key means the same on both platforms, or is refused on both; and no two combinations share
    // a Windows hotkey id (F1 and Alt+F2 once did).
    void tablesAgree()
    {
        QSet<int> ids;
        int keys = 0;
        for (const int base : {0, int(Qt::Key_Escape)}) {
            for (int key = base; key < base + 0x200; ++key) {
                QCOMPARE(windowsVirtualKey(key) != 0, x11Keysym(key) != 0);
                if (windowsVirtualKey(key) == 0)
                    continue;
                ++keys;
                for (quint32 modifiers = 0; modifiers < 16; ++modifiers) {
                    const int id = windowsHotkeyId(windowsVirtualKey(key), modifiers);
                    QVERIFY(id >= 0 && id <= 0xBFFF);
                    ids.insert(id);
                }
            }
        }
        QCOMPARE(keys, 85); // Backtab and Enter share the virtual keys of Tab and Return
        QCOMPARE(ids.size(), (keys - 2) * 16);
    }

    void noRegistrationWithoutX_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("outcome");
        QTest::newRow("supported key") << "Ctrl+F1" << int(MyGlobalShortCut::Unsupported);
        QTest::newRow("outside the table") << "Ctrl+." << int(MyGlobalShortCut::Unsupported);
        QTest::newRow("empty") << "" << int(MyGlobalShortCut::Cleared);
        QTest::newRow("unknown key name") << "Ctrl+Nonsense" << int(MyGlobalShortCut::Unsupported);
    }
    void noRegistrationWithoutX()
    {
        QFETCH(QString, text);
        QFETCH(int, outcome);
        MyGlobalShortCut shortcut;
        QCOMPARE(int(shortcut.setShortcut(text)), outcome);
        QVERIFY(!shortcut.isRegistered());
    }

    void runValue_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "C:/Pay/Kesto.exe"
                               << "C:\\Pay\\Kesto.exe";
        QTest::newRow("blank quoted") << "C:/Program Files/Pay/Kesto.exe"
                                      << "\"C:\\Program Files\\Pay\\Kesto.exe\"";
    }
    void runValue()
    {
        QFETCH(QString, program);
        QFETCH(QString, value);
        QCOMPARE(AutostartEntry::runValue(program), value);
    }

    // The entry in a temporary XDG_CONFIG_HOME: written, accepted by desktop-file-validate, read
    // back, switched off in either of the two ways a desktop does it, and removed.
    void autostartEntry_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain path") << "/opt/kesto/Kesto"
                                    << "/opt/kesto/Kesto";
        QTest::newRow("blank") << "/opt/my tills/Kesto"
                               << "\"/opt/my tills/Kesto\"";
        QTest::newRow("reserved characters") << "/opt/a\"b$c`d\\e/Kesto"
                                             << "\"/opt/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e/Kesto\"";
        QTest::newRow("percent") << "/opt/100%/Kesto"
                                 << "/opt/100%%/Kesto";
    }
    void autostartEntry()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        const QString entry = home.filePath("autostart/Kesto.desktop");
        const SettingsStore store(home.filePath("config.dat"));
        QCOMPARE(store.readAutostart("Kesto"), QString());

        QVERIFY(store.writeAutostart("Kesto", program));
        QVERIFY(fileText(entry).contains("\nExec=" + exec + "\n"));
        QProcess validate;
        validate.start("desktop-file-validate", {entry});
        QVERIFY(validate.waitForFinished(10000));
        QCOMPARE(validate.readAllStandardOutput() + validate.readAllStandardError(), QByteArray());
        QCOMPARE(validate.exitCode(), 0);
        QCOMPARE(store.readAutostart("Kesto"), exec);

        const QString written = fileText(entry);
        for (const QString &off : {QString("Hidden=true"), QString("X-GNOME-Autostart-enabled=false")}) {
            writeFile(entry, written + off + "\n");
            QCOMPARE(store.readAutostart("Kesto"), QString());
        }

        QVERIFY(store.removeAutostart("Kesto"));
        QVERIFY(!QFile::exists(entry));
        QVERIFY(store.removeAutostart("Kesto"));
        qunsetenv("XDG_CONFIG_HOME");
    }

private:
    static QString fileText(const QString &path)
    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }
    static void writeFile(const QString &path, const QString &text)
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(text.toUtf8());
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
