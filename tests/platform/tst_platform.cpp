#include "platform/autostartentry.h"
#include "platform/keytables.h"
#include "rows.h"
#include "shell/lookandfeel.h"
#include "shell/myglobalshortcut.h"
#include "shell/settingsstore.h"

#include <QProcess>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTranslator>

struct Key
{
    const char *tag; // the key's text
    uint virtualKey;
    uint windowsModifiers;
    uint keysym;
    uint x11Modifiers;
};
Q_DECLARE_METATYPE(Key)

// The key tables of both platforms, the autostart entry and the look, without a display: this
// test runs offscreen, where no registration may touch X.
class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void keyTables_data()
    {
        static const Key rows[] = {{"Ctrl+F1", 0x70, 2, 0xFFBE, 0x04},
                                   {"Ctrl+Alt+Shift+Z", 0x5A, 7, 0x7A, 0x0D},
                                   {"Meta+F24", 0x87, 8, 0xFFD5, 0x40},
                                   {"Num+5", 0, 0, 0, 0},
                                   {"Alt+,", 0x6C, 1, 0xFFAC, 0x08},
                                   {"Ctrl+K, Ctrl+C", 0x4B, 2, 0x6B, 0x04},
                                   {"Ctrl+.", 0, 2, 0, 0x04}};
        addRows(rows);
    }
    void keyTables()
    {
        QFETCH(Key, row);
        const HotkeyChord chord = firstChord(QKeySequence::fromString(row.tag, QKeySequence::PortableText));
        QCOMPARE(windowsVirtualKey(chord.key), row.virtualKey);
        QCOMPARE(windowsModifiers(chord.modifiers), row.windowsModifiers);
        QCOMPARE(x11Keysym(chord.key), row.keysym);
        QCOMPARE(x11Modifiers(chord.modifiers), row.x11Modifiers);
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

    void noRegistrationWithoutX()
    {
        MyGlobalShortCut shortcut;
        QCOMPARE(shortcut.setShortcut("Ctrl+F1"), MyGlobalShortCut::Unsupported);
        QCOMPARE(shortcut.setShortcut(""), MyGlobalShortCut::Cleared);
        QVERIFY(!shortcut.isRegistered());
        QCOMPARE(AutostartEntry::runValue("C:/Program Files/Pay/Kesto.exe"),
                 QString("\"C:\\Program Files\\Pay\\Kesto.exe\""));
    }

    // The entry in a temporary XDG_CONFIG_HOME: written, accepted by desktop-file-validate, read
    // back, switched off in one of the two ways a desktop does it, and removed.
    void autostartEntry_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QByteArray>("off");
        row("plain path", "/opt/kesto/Kesto", "/opt/kesto/Kesto", QByteArray("Hidden=true\n"));
        row("blank", "/opt/my tills/Kesto", "\"/opt/my tills/Kesto\"",
            QByteArray("X-GNOME-Autostart-enabled=false\n"));
        row("reserved characters", "/opt/a\"b$c`d\\e/Kesto", "\"/opt/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e/Kesto\"",
            QByteArray("Hidden=true\n"));
        row("percent", "/opt/100%/Kesto", "/opt/100%%/Kesto", QByteArray("Hidden=true\n"));
    }
    void autostartEntry()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QFETCH(QByteArray, off);
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        QFile entry(home.filePath("autostart/Kesto.desktop"));
        const SettingsStore store(home.filePath("config.dat"));
        QCOMPARE(store.readAutostart("Kesto"), QString());
        QVERIFY(store.writeAutostart("Kesto", program));
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start("desktop-file-validate", {entry.fileName()});
        QVERIFY(validate.waitForFinished(10000));
        QCOMPARE(validate.readAll(), QByteArray());
        QCOMPARE(validate.exitCode(), 0);
        QCOMPARE(store.readAutostart("Kesto"), exec);
        QVERIFY(entry.open(QIODevice::Append) && entry.write(off) == off.size());
        entry.close();
        QCOMPARE(store.readAutostart("Kesto"), QString());
        QVERIFY(store.removeAutostart("Kesto") && !entry.exists());
        QVERIFY(store.removeAutostart("Kesto"));
        qunsetenv("XDG_CONFIG_HOME");
    }

    // The sheet, read as Latin-1, is ASCII. Qt's own texts are in Chinese (Debian's qt_zh_CN.qm is
    // only an index), and the families every window names resolve to fonts with Chinese glyphs.
    void lookAndFeel()
    {
        initResources();
        QTranslator translator;
        applyLookAndFeel(*qApp, translator);
        QFile file(":/File/qss/style.qss");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80 && c != '\0'; }));
        QCOMPARE(qApp->styleSheet(), QString::fromLatin1(bytes));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
        QCOMPARE(QLocale().toString(QDate(2026, 3, 5), QLocale::ShortFormat), QString("2026/3/5"));
        QCOMPARE(qApp->font().pointSize(), 9);
        for (const QString &family : {qApp->font().family(), QString("微软雅黑"), QString("宋体")})
            QVERIFY2(QRawFont::fromFont(QFont(family, 12)).supportsCharacter(QChar(0x652F)),
                     qPrintable(family));
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
