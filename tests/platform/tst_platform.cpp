#include "platform/autostartentry.h"
#include "platform/keytables.h"
#include "platform/windows/winrules.h"
#include "shell/lookandfeel.h"
#include "shell/myglobalshortcut.h"
#include "shell/settingsstore.h"

#include <QRawFont>
#include <QtTest>

// The key tables of both platforms, the autostart entry and the look, offscreen.
class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    // Both platforms' codes: an F-key as the first of two chords, a letter with every modifier, a
    // comma (the keypad's on Windows), a keypad key (in no table); Windows registers each not to
    // repeat. Every key means the same on both or on neither; no two share a Windows hotkey id (F1
    // and Alt+F2 once did). No X, no grabs.
    void hotkeys()
    {
        const auto native = [](const char *key) {
            const HotkeyChord chord = firstChord(QKeySequence::fromString(key, QKeySequence::PortableText));
            return QVector<uint>{windowsVirtualKey(chord.key),
                                 WinRules::registrationModifiers(windowsModifiers(chord.modifiers)),
                                 x11Keysym(chord.key), x11Modifiers(chord.modifiers)};
        };
        QCOMPARE(native("Ctrl+F1, Alt+C"), QVector<uint>({0x70, 0x4002, 0xFFBE, 0x04}));
        QCOMPARE(native("Ctrl+Alt+Shift+Meta+Z"), QVector<uint>({0x5A, 0x400F, 0x7A, 0x4D}));
        QCOMPARE(native("Alt+,"), QVector<uint>({0x6C, 0x4001, 0xFFAC, 0x08}));
        QCOMPARE(native("Ctrl+Num+5"), QVector<uint>({0, 0x4002, 0, 0x04}));
        QSet<int> ids;
        for (const int base : {0, int(Qt::Key_Escape)}) {
            for (int key = base; key < base + 0x200; ++key) {
                QCOMPARE(windowsVirtualKey(key) != 0, x11Keysym(key) != 0);
                for (quint32 modifiers = 0; windowsVirtualKey(key) != 0 && modifiers < 16; ++modifiers)
                    ids.insert(WinRules::hotkeyId(windowsVirtualKey(key), modifiers));
            }
        }
        QCOMPARE(ids.size(), 83 * 16); // 85 keys; Backtab and Enter share Tab's and Return's
        QVERIFY(std::all_of(ids.begin(), ids.end(), [](int id) { return id >= 0 && id <= 0xBFFF; }));
        MyGlobalShortCut shortcut;
        QCOMPARE(shortcut.setShortcut("Ctrl+F1"), MyGlobalShortCut::Unsupported);
        QCOMPARE(shortcut.setShortcut(""), MyGlobalShortCut::Cleared);
    }

    // A plain entry, then one quoted and escaped: written, passed by desktop-file-validate, read
    // back, switched off either way a desktop does it; removed. Windows' log-on task as its golden
    // file has it, for a path with blanks and XML's own characters; a 32-bit process on 64-bit
    // Windows names the 64-bit registry view.
    void autostartEntry()
    {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        QFile entry(home.filePath("autostart/Kesto.desktop"));
        const SettingsStore store(home.filePath("config.dat"));
        const QStringList rows[] = {
            {"/opt/Kesto", "/opt/Kesto", "Hidden=true"},
            {"/a b\"$`\\%", "\"/a b\\\\\"\\\\$\\\\`\\\\\\\\%%\"", "X-GNOME-Autostart-enabled=false"}};
        for (const QStringList &row : rows) {
            QVERIFY(store.writeAutostart("Kesto", row[0]));
            QProcess validate;
            validate.start("desktop-file-validate", {entry.fileName()});
            QVERIFY(validate.waitForFinished(10000));
            QCOMPARE(validate.readAllStandardOutput() + validate.readAllStandardError(), QByteArray());
            QCOMPARE(store.readAutostart("Kesto"), row[1]);
            QVERIFY(entry.open(QIODevice::Append) && entry.write(row[2].toUtf8() + '\n') > 0);
            entry.close();
            QCOMPARE(store.readAutostart("Kesto"), QString());
        }
        QVERIFY(store.removeAutostart("Kesto") && !entry.exists());
        QFile task(QFINDTESTDATA("autostart-task.golden.xml"));
        QVERIFY(task.open(QIODevice::ReadOnly));
        QCOMPARE(
            QString::fromStdWString(WinRules::logonTaskXml(L"C:\\Program Files (x86)\\R&D <Pay>\\Kesto.exe")),
            QString::fromUtf8(task.readAll()));
        QCOMPARE(QVector<ulong>({WinRules::registryView(true), WinRules::registryView(false)}),
                 QVector<ulong>({0x100, 0}));
    }

    // The sheet, taken as Latin-1 up to a NUL, is all its text. Qt's own texts are in Chinese
    // (Debian's qt_zh_CN.qm is only an index); the families windows name have Chinese glyphs.
    void lookAndFeel()
    {
        initResources();
        QTranslator translator;
        applyLookAndFeel(*qApp, translator);
        QFile sheet(":/File/qss/style.qss");
        QVERIFY(sheet.open(QIODevice::ReadOnly));
        QCOMPARE(qApp->styleSheet(), QString::fromUtf8(sheet.readAll()));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
        QCOMPARE(QLocale().toString(QDate(2026, 3, 5), QLocale::ShortFormat), QString("2026/3/5"));
        for (const QString &name : {qApp->font().family(), QString("微软雅黑"), QString("宋体")})
            QVERIFY2(QRawFont::fromFont(QFont(name, 12)).supportsCharacter(QChar(0x652F)), qPrintable(name));
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
