#include "mainwindow/kesto.h"
#include "runningkesto.h"
#include "xdesktop.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QtTest>

// The main window in an X session whose notification area is a real trayer.
class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_Kesto.capture.setReply("/index.php/Pay/Payinterface/mreport",
                                 {200, R"({"list":{"page":{"np":0,"pmax":1},"total":{"tongji":"共0笔"}}})"});
    }
    void cleanup() { m_Kesto.stop(); }

    // A notification area coming up after the program: the records view stands in, then the icon.
    // The balloon promises only hotkeys that work.
    void trayAppearingLater()
    {
        Kesto *kesto = m_Kesto.start({{"paykey", "Ctrl+F1"}, {"refundkey", "Ctrl+F1"}});
        auto *icon = kesto->findChild<QSystemTrayIcon *>();
        QVERIFY(kesto->isVisible() && !icon->isVisible());
        QVERIFY(m_Desktop.startTray());
        QTRY_VERIFY(icon->isVisible());
        QCOMPARE(icon->toolTip(), QString("演示商户"));
        QVERIFY(balloon().contains("未配置快捷键功能！"));
    }

    // Signing in again runs the tray set-up again; the menu and its wiring stay single, so a
    // double click opens the records view and loads it once. A single click does nothing.
    void livesInTheTray()
    {
        QVERIFY(m_Desktop.startTray());
        Kesto *kesto = m_Kesto.start({{"paykey", "Ctrl+F1"}, {"refundkey", "Ctrl+F2"}});
        auto *icon = kesto->findChild<QSystemTrayIcon *>();
        QVERIFY(icon->isVisible() && !kesto->isVisible());
        QVERIFY(balloon().contains("按 Ctrl+F1 呼出支付窗口，按 Ctrl+F2 呼出退款窗口！"));
        QMenu *menu = icon->contextMenu();
        QMetaObject::invokeMethod(kesto, "Trays");
        QMetaObject::invokeMethod(kesto, "Trays");
        QCOMPARE(icon->contextMenu(), menu);
        const int before = reports();
        emit icon->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!kesto->isVisible());
        emit icon->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(kesto->isVisible() && kesto->isMaximized());
        QTRY_COMPARE(reports(), before + 1);
        QTest::qWait(300);
        QCOMPARE(reports(), before + 1);
    }

    // 更换账号 and 更换设备 open the sign-in dialog; 线下支付 starts a new sale in the active pay
    // window, with the focus in the amount, and its 退款 leads to the refund window.
    void trayEntries()
    {
        QVERIFY(m_Desktop.startTray());
        Kesto *kesto = m_Kesto.start();
        QWidget *signin = RunningKesto::window("WxSignin");
        for (const QString &entry : {"更换账号", "更换设备"}) {
            signin->hide();
            trayEntry(kesto, entry)->trigger();
            QVERIFY(signin->isVisible());
        }
        QWidget *pay = RunningKesto::window("KestoWindow");
        auto *money = pay->findChild<QLineEdit *>("m_Money");
        money->setText("5");
        pay->findChild<QPushButton *>("m_Pay")->click();
        QVERIFY(!pay->findChild<QLineEdit *>("m_Codes")->isHidden());
        trayEntry(kesto, "线下支付")->trigger();
        QTRY_COMPARE(QApplication::activeWindow(), pay);
        QCOMPARE(QApplication::focusWidget(), money);
        QVERIFY(money->text().isEmpty() && pay->findChild<QLineEdit *>("m_Codes")->isHidden());
        QTest::mouseClick(pay->findChild<QPushButton *>("m_Refunds"), Qt::LeftButton);
        QVERIFY(RunningKesto::window("wxRefunds")->isVisible());
    }

private:
    // The texts of the balloon once it shows; it is hidden then, for the next.
    static QStringList balloon()
    {
        QWidget *tip = nullptr;
        QStringList texts;
        if (QTest::qWaitFor(
                [&] { return (tip = RunningKesto::window("QBalloonTip")) && tip->isVisible(); })) {
            for (QLabel *label : tip->findChildren<QLabel *>())
                texts << label->text();
            tip->hide();
        }
        return texts;
    }
    static QAction *trayEntry(Kesto *kesto, const QString &text)
    {
        for (QAction *action : kesto->findChild<QSystemTrayIcon *>()->contextMenu()->actions()) {
            if (action->iconText() == text)
                return action;
        }
        return nullptr;
    }
    int reports() const
    {
        int count = 0;
        for (const CaptureServer::Request &request : m_Kesto.capture.requests())
            count += request.path == "/index.php/Pay/Payinterface/mreport";
        return count;
    }

    XDesktop m_Desktop;
    RunningKesto m_Kesto;
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
