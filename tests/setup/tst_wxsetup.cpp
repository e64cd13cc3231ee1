#include "mainwindow/kesto.h"
#include "messagecatcher.h"
#include "rows.h"
#include "runningkesto.h"
#include "setup/wxsetup.h"
#include "shell/lookandfeel.h"
#include "xdesktop.h"

#include <QCheckBox>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

using Settings = QMap<QString, QString>;

template <typename T> T *field(QWidget *dialog, const char *name)
{
    return dialog->findChild<T *>(name);
}

// Pay key, refund key, printer, copies, autostart and remembered account as the dialog shows them.
QStringList shown(QWidget *dialog)
{
    QStringList texts;
    for (const char *name : {"m_PayKey", "m_RefundKey"})
        texts << field<QKeySequenceEdit>(dialog, name)->keySequence().toString(QKeySequence::PortableText);
    for (const char *name : {"m_PrintName", "m_PrintNum"})
        texts << field<QLineEdit>(dialog, name)->text();
    for (const char *name : {"m_Starts", "m_Signal"})
        texts << (field<QCheckBox>(dialog, name)->isChecked() ? "on" : "off");
    return texts;
}

QStringList save(QWidget *dialog)
{
    MessageCatcher catcher;
    field<QPushButton>(dialog, "m_SetupSave")->click();
    return catcher.messages;
}

void setKeys(QWidget *dialog, const QString &pay, const QString &refund)
{
    field<QKeySequenceEdit>(dialog, "m_PayKey")->setKeySequence(QKeySequence(pay));
    field<QKeySequenceEdit>(dialog, "m_RefundKey")->setKeySequence(QKeySequence(refund));
}

} // namespace

// The setup dialog in the running program, in an X session with a window manager: what it shows,
// what it stores, and that what it stores works at once.
class TestWxSetup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        QVERIFY(m_Desktop.startWindowManager());
    }
    void init()
    {
        m_Home.reset(new QTemporaryDir);
        qputenv("XDG_CONFIG_HOME", m_Home->path().toUtf8());
    }
    void cleanup()
    {
        m_Kesto.stop();
        QDir(m_Kesto.config.path()).removeRecursively();
        m_Desktop.releaseElsewhere();
    }

    void loadsTheStoredState_data()
    {
        QTest::addColumn<Settings>("settings");
        QTest::addColumn<QString>("autostart"); // a line added to the autostart entry, "-" for none
        QTest::addColumn<QStringList>("shown");
        row("nothing stored", Settings{}, "-", QStringList{"", "", "", "1", "off", "off"});
        row("everything stored",
            Settings{{"jm_title", "演示商户"},
                     {"paykey", "Ctrl+F1"},
                     {"refundkey", "Ctrl+Shift+R"},
                     {"printname", "POS58"},
                     {"printnum", "2"},
                     {"remeber", "1"}},
            "", QStringList{"Ctrl+F1", "Ctrl+Shift+R", "POS58", "2", "on", "on"});
        row("autostart switched off", Settings{{"remeber", "0"}}, "X-GNOME-Autostart-enabled=false",
            QStringList{"", "", "", "1", "off", "off"});
    }
    void loadsTheStoredState()
    {
        QFETCH(Settings, settings);
        QFETCH(QString, autostart);
        QFETCH(QStringList, shown);
        for (auto it = settings.cbegin(); it != settings.cend(); ++it)
            m_Kesto.config.write(it.key(), it.value());
        if (autostart != "-") {
            QVERIFY(m_Kesto.config.writeAutostart("Kesto", QCoreApplication::applicationFilePath()));
            QFile entry(autostartEntry());
            QVERIFY(entry.open(QIODevice::Append));
            entry.write(autostart.toUtf8() + "\n");
        }
        WxSetup setup;
        setup.loadSetup();
        QCOMPARE(setup.windowTitle(), settings.value("jm_title"));
        QCOMPARE(::shown(&setup), shown);
    }

    // Saved as typed, confirmed, and the new pay key calls up the pay window at once. Opened again,
    // the dialog shows autostart on, and saving it unchanged leaves the entry in place.
    void savesAndTakesEffect()
    {
        m_Kesto.start();
        QWidget *setup = openSetup();
        setKeys(setup, "Ctrl+F1", "Ctrl+F2");
        field<QLineEdit>(setup, "m_PrintName")->setText("POS 58");
        field<QLineEdit>(setup, "m_PrintNum")->setText("两份");
        field<QCheckBox>(setup, "m_Starts")->setChecked(true);
        field<QCheckBox>(setup, "m_Signal")->setChecked(false);
        QCOMPARE(save(setup), QStringList{"提示|保存成功"});
        QVERIFY(!setup->isVisible());
        const Settings stored{{"paykey", "Ctrl+F1"},
                              {"refundkey", "Ctrl+F2"},
                              {"printname", "POS 58"},
                              {"printnum", "两份"},
                              {"remeber", "0"}};
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            QCOMPARE(m_Kesto.config.read(it.key()), it.value());

        QVERIFY(!m_Desktop.focusProbe().isEmpty());
        XDesktop::xdotool({"key", "ctrl+F1"});
        QTRY_VERIFY(RunningKesto::window("KestoWindow")->isVisible());

        setup = openSetup();
        QVERIFY(field<QCheckBox>(setup, "m_Starts")->isChecked());
        QCOMPARE(save(setup), QStringList{"提示|保存成功"});
        QVERIFY(QFile::exists(autostartEntry()));
    }

    void reportsWhatDidNotWork_data()
    {
        QTest::addColumn<QString>("payKey");
        QTest::addColumn<QString>("refundKey");
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<QString>("line");
        row("pay key taken", "Ctrl+F3", "Ctrl+F2", "grab", "支付快捷键Ctrl+F3已被其他程序占用");
        row("refund key taken", "Ctrl+F2", "Ctrl+F3", "grab", "退款快捷键Ctrl+F3已被其他程序占用");
        row("the same key twice", "Ctrl+F1", "Ctrl+F1", "", "支付快捷键与退款快捷键相同");
        row("unsupported key", "Ctrl+.", "Ctrl+F2", "", "快捷键Ctrl+.不受支持");
        row("autostart", "Ctrl+F1", "Ctrl+F2", "autostart", "随机启动设置失败");
        row("settings file", "Ctrl+F1", "Ctrl+F2", "settings", "配置文件无法写入");
    }
    void reportsWhatDidNotWork()
    {
        QFETCH(QString, payKey);
        QFETCH(QString, refundKey);
        QFETCH(QString, breakage);
        QFETCH(QString, line);
        if (breakage == "grab")
            QVERIFY(m_Desktop.grabElsewhere(0xFFC0, 0x04)); // Ctrl+F3
        if (breakage == "autostart") // the autostart folder cannot be made where a file stands
            QVERIFY(QFile(m_Home->filePath("autostart")).open(QIODevice::WriteOnly));
        if (breakage == "settings")
            QVERIFY(QDir().mkpath(m_Kesto.config.path()));
        m_Kesto.start();
        QWidget *setup = openSetup();
        setKeys(setup, payKey, refundKey);
        field<QCheckBox>(setup, "m_Starts")->setChecked(breakage == "autostart");
        QCOMPARE(save(setup), QStringList{"提示|已保存，但以下设置未生效：\n" + line});
    }

    // While the dialog is open the pay key is only a key: the editor records it. Closed without
    // saving, the stored keys work again.
    void keysRestWhileTheDialogIsOpen()
    {
        m_Kesto.start({{"paykey", "Ctrl+F1"}, {"refundkey", "Ctrl+F2"}});
        QWidget *setup = openSetup();
        QKeySequenceEdit *editor = field<QKeySequenceEdit>(setup, "m_PayKey");
        editor->clear();
        editor->setFocus();
        QTRY_COMPARE(XDesktop::activeWindow(), QString::number(setup->winId()));
        XDesktop::xdotool({"key", "ctrl+F1"});
        QTRY_COMPARE(editor->keySequence(), QKeySequence("Ctrl+F1"));
        QVERIFY(!RunningKesto::window("KestoWindow")->isVisible());

        for (QPushButton *button : setup->findChildren<QPushButton *>()) {
            if (button->text() == "X")
                QTest::mouseClick(button, Qt::LeftButton);
        }
        QVERIFY(!setup->isVisible());
        QVERIFY(!m_Desktop.focusProbe().isEmpty());
        XDesktop::xdotool({"key", "ctrl+F1"});
        QTRY_VERIFY(RunningKesto::window("KestoWindow")->isVisible());
    }

private:
    QWidget *openSetup()
    {
        QMetaObject::invokeMethod(m_Kesto.get(), "Setups");
        QWidget *setup = RunningKesto::window("WxSetup");
        return setup && setup->isVisible() ? setup : nullptr;
    }
    QString autostartEntry() const { return m_Home->filePath("autostart/Kesto.desktop"); }

    XDesktop m_Desktop;
    RunningKesto m_Kesto;
    std::unique_ptr<QTemporaryDir> m_Home;
};

QTEST_MAIN(TestWxSetup)
#include "tst_wxsetup.moc"
