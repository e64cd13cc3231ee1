#include "captureserver.h"
#include "mainwindow/kesto.h"
#include "shell/settingsstore.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtTest>

// Runs in an X session of its own; the notification area is a real trayer process.
class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_Capture.setReply("/index.php/Pay/Pays/getuser", {200, R"({"data":{"version":{"ver":0}}})"});
        m_Capture.setReply("/index.php/Pay/Payinterface/mreport",
                           {200, R"({"list":{"page":{"np":0,"pmax":1},"total":{"tongji":"共0笔"}}})"});
        for (const QString &entry :
             {"server=" + m_Capture.url(""), QString("username=demo"), QString("password=demo123"),
              QString("remeber=1"), QString("device=1_前台"), QString("jm_title=演示商户")})
            m_Config.write(entry.section('=', 0, 0), entry.section('=', 1));
    }
    void cleanupTestCase()
    {
        stopTrayer();
        QFile::remove(m_Config.path());
    }

    // A session whose notification area comes up after the program: the records view stands
    // in, then the tray icon takes over.
    void trayAppearingLater()
    {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        Kesto kesto;
        QSystemTrayIcon *icon = kesto.findChild<QSystemTrayIcon *>();
        QVERIFY(kesto.isVisible());
        QVERIFY(!icon->isVisible());

        startTrayer();
        QTRY_VERIFY_WITH_TIMEOUT(icon->isVisible(), 10000);
        QCOMPARE(icon->toolTip(), QString("演示商户"));
    }

    void livesInTheTray()
    {
        startTrayer();
        Kesto kesto;
        QSystemTrayIcon *icon = kesto.findChild<QSystemTrayIcon *>();
        QVERIFY(icon->isVisible());
        QVERIFY(!kesto.isVisible());
        QCOMPARE(icon->toolTip(), QString("演示商户"));
        QVERIFY(icon->contextMenu());
        QCOMPARE(icon->contextMenu()->actions().size(), 11);

        // Signing in again runs the tray set-up again; the menu and its wiring stay single.
        QMenu *menu = icon->contextMenu();
        QMetaObject::invokeMethod(&kesto, "Trays");
        QMetaObject::invokeMethod(&kesto, "Trays");
        QCOMPARE(icon->contextMenu(), menu);

        const int before = reports();
        emit icon->activated(QSystemTrayIcon::Trigger);
        QTest::qWait(300);
        QVERIFY(!kesto.isVisible());
        QCOMPARE(reports(), before);

        emit icon->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(kesto.isVisible());
        QVERIFY(kesto.isMaximized());
        QTRY_COMPARE(reports(), before + 1);
        QTest::qWait(300);
        QCOMPARE(reports(), before + 1);
    }

    // The other entries are used by the end-to-end run.
    void signinEntries()
    {
        startTrayer();
        Kesto kesto;
        for (const QString &entry : {"更换账号", "更换设备"}) {
            trayEntry(kesto, entry)->trigger();
            QWidget *signin = topLevel("WxSignin");
            QVERIFY(signin);
            signin->close();
        }
    }

    // The tray entry starts a new sale in the active window, where the scanner types; the
    // sale's "退款" button leads to the refund window.
    void payWindowFromTheTray()
    {
        startTrayer();
        Kesto kesto;
        QWidget *pay = topLevel("KestoWindow", false);
        pay->findChild<QLineEdit *>("m_Money")->setText("5");
        pay->findChild<QPushButton *>("m_Pay")->click();
        QVERIFY(!pay->findChild<QLineEdit *>("m_Codes")->isHidden());

        trayEntry(kesto, "线下支付")->trigger();
        QTRY_COMPARE(QApplication::activeWindow(), pay);
        QCOMPARE(QApplication::focusWidget(), pay->findChild<QLineEdit *>("m_Money"));
        QCOMPARE(pay->findChild<QLineEdit *>("m_Money")->text(), QString());
        QVERIFY(pay->findChild<QLineEdit *>("m_Codes")->isHidden());

        QTest::mouseClick(pay->findChild<QPushButton *>("m_Refunds"), Qt::LeftButton);
        QVERIFY(topLevel("wxRefunds"));
    }

private:
    static QAction *trayEntry(Kesto &kesto, const QString &entry)
    {
        for (QAction *candidate : kesto.findChild<QSystemTrayIcon *>()->contextMenu()->actions()) {
            if (candidate->iconText() == entry)
                return candidate;
        }
        return nullptr;
    }
    static QWidget *topLevel(const QString &className, bool visible = true)
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() == visible && widget->metaObject()->className() == className)
                return widget;
        }
        return nullptr;
    }
    int reports() const
    {
        int count = 0;
        for (const CaptureServer::Request &request : m_Capture.requests())
            count += request.path == "/index.php/Pay/Payinterface/mreport";
        return count;
    }
    void startTrayer()
    {
        if (m_Trayer.state() == QProcess::NotRunning)
            m_Trayer.start("trayer", {"--edge", "bottom", "--widthtype", "request"});
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);
    }
    void stopTrayer()
    {
        m_Trayer.terminate();
        m_Trayer.waitForFinished(3000);
    }

    CaptureServer m_Capture;
    SettingsStore m_Config;
    QProcess m_Trayer;
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
