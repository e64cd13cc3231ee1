#include "messagecatcher.h"
#include "paymentserver.h"
#include "shell/settingsstore.h"
#include "signin/wxsignin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

enum class Trigger { Button, EnterInPassword, EnterInUsername };

QStringList items(QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

} // namespace

Q_DECLARE_METATYPE(Trigger)
Q_DECLARE_METATYPE(Qt::MouseButton)

class TestWxSignin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_Server.isRunning()); }

    void init()
    {
        QFile::remove(m_Config.path());
        m_Config.write("server", m_Server.baseUrl());
        m_Signin.reset(new WxSignin);
    }

    void signingIn_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("remember");
        QTest::addColumn<Trigger>("trigger");
        QTest::addColumn<QString>("message");

        QTest::newRow("button") << "demo"
                                << "demo123" << true << Trigger::Button << "";
        QTest::newRow("enter in the password field") << "demo"
                                                     << "demo123" << true << Trigger::EnterInPassword << "";
        QTest::newRow("not remembered") << "demo"
                                        << "demo123" << false << Trigger::Button << "";
        QTest::newRow("wrong password")
            << "demo"
            << "demo124" << true << Trigger::Button << "提示|用户名密码错误，登录失败！";
        QTest::newRow("empty user name") << ""
                                         << "demo123" << true << Trigger::Button << "提示|用户名不能空";
        QTest::newRow("empty password") << "demo"
                                        << "" << true << Trigger::EnterInPassword << "提示|密码不能空";
    }
    void signingIn()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(bool, remember);
        QFETCH(Trigger, trigger);
        QFETCH(QString, message);
        MessageCatcher catcher;
        m_Signin->shows(true, true);
        widget<QLineEdit>("m_Username")->setText(username);
        widget<QLineEdit>("m_Password")->setText(password);
        widget<QCheckBox>("m_Remeber")->setChecked(remember);
        if (trigger == Trigger::Button)
            QTest::mouseClick(widget<QPushButton>("m_Login"), Qt::LeftButton);
        else
            QTest::keyClick(widget<QLineEdit>("m_Password"), Qt::Key_Return);

        if (!message.isEmpty()) {
            QTRY_COMPARE(catcher.messages, QStringList{message});
            QVERIFY(widget<QPushButton>("m_Login")->isVisible());
            QCOMPARE(m_Config.read("username"), QString());
            return;
        }
        QTRY_COMPARE(items(widget<QComboBox>("m_Devices")), (QStringList{"1_前台", "2_收银台2"}));
        QVERIFY(catcher.messages.isEmpty());
        QVERIFY(widget<QComboBox>("m_Devices")->isVisible());
        QVERIFY(!widget<QLineEdit>("m_Password")->isVisible());
        QVERIFY(widget<QPushButton>("m_Ok")->isVisible());
        QVERIFY(widget<QPushButton>("m_Exit")->isVisible());
        QCOMPARE(m_Config.read("username"), username);
        QCOMPARE(m_Config.read("password"), password);
        QCOMPARE(m_Config.read("remeber"), QString(remember ? "1" : "0"));
        QCOMPARE(m_Config.read("jm_title"), QString("演示商户"));
        QVERIFY(!m_Config.read("jm_userid").isEmpty());
    }

    void enterInTheUserNameFieldDoesNothing()
    {
        MessageCatcher catcher;
        m_Signin->shows(true, true);
        widget<QLineEdit>("m_Username")->setText("demo");
        widget<QLineEdit>("m_Password")->setText("demo123");
        QTest::keyClick(widget<QLineEdit>("m_Username"), Qt::Key_Return);
        QTest::qWait(500);
        QVERIFY(widget<QPushButton>("m_Login")->isVisible());
        QCOMPARE(m_Config.read("username"), QString());
        QVERIFY(catcher.messages.isEmpty());
    }

    void deviceList_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("deliveries");
        QTest::addColumn<QStringList>("expected");
        const QByteArray two =
            R"({"devices":{"0":{"id":"1","device":"前台"},"1":{"id":"2","device":"收银台2"}}})";
        QTest::newRow("two devices") << two << 1 << QStringList{"1_前台", "2_收银台2"};
        QTest::newRow("reply arriving twice") << two << 2 << QStringList{"1_前台", "2_收银台2"};
        QTest::newRow("gap in the keys")
            << QByteArray(R"({"devices":{"0":{"id":"1","device":"A"},"2":{"id":"3","device":"C"}}})") << 1
            << QStringList{"1_A"};
        QTest::newRow("empty name ends the list")
            << QByteArray(
                   R"({"devices":{"0":{"id":"1","device":"A"},"1":{"id":"2"},"2":{"id":"3","device":"C"}}})")
            << 1 << QStringList{"1_A"};
        QTest::newRow("numeric id") << QByteArray(R"({"devices":{"0":{"id":7,"device":"A"}}})") << 1
                                    << QStringList{"_A"};
        QTest::newRow("array instead of object")
            << QByteArray(R"({"devices":[{"id":"1","device":"A"}]})") << 1 << QStringList{};
        QTest::newRow("no devices key") << QByteArray(R"({"msg":"x"})") << 1 << QStringList{};
    }
    void deviceList()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, deliveries);
        QFETCH(QStringList, expected);
        auto *devices = widget<QComboBox>("m_Devices");
        devices->addItems({"stale entry"});
        for (int i = 0; i < deliveries; ++i)
            QMetaObject::invokeMethod(m_Signin.get(), "getDevices",
                                      Q_ARG(QJsonObject, QJsonDocument::fromJson(reply).object()));
        QCOMPARE(items(devices), expected);
    }

    void preselection_data()
    {
        QTest::addColumn<bool>("fromTray");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("current");
        QTest::newRow("from the tray") << true << "2_收银台2"
                                       << "2_收银台2";
        QTest::newRow("at start") << false << "2_收银台2"
                                  << "1_前台";
        QTest::newRow("stored device gone") << true << "9_旧设备"
                                            << "1_前台";
    }
    void preselection()
    {
        QFETCH(bool, fromTray);
        QFETCH(QString, stored);
        QFETCH(QString, current);
        m_Config.write("username", "demo");
        m_Config.write("password", "demo123");
        m_Config.write("device", stored);
        m_Signin->shows(false, !fromTray);
        auto *devices = widget<QComboBox>("m_Devices");
        QTRY_COMPARE(devices->count(), 2);
        QCOMPARE(devices->currentText(), current);
        QCOMPARE(widget<QPushButton>("m_Cancel")->isVisible(), fromTray);
        QCOMPARE(widget<QPushButton>("m_Exit")->isVisible(), !fromTray);
    }

    void changeOfAccountEndsWithExit()
    {
        m_Config.write("username", "demo");
        m_Config.write("password", "demo123");
        m_Signin->shows(true, false);
        QCOMPARE(widget<QLineEdit>("m_Username")->text(), QString("demo"));
        QCOMPARE(widget<QLineEdit>("m_Password")->text(), QString("demo123"));
        QVERIFY(widget<QPushButton>("m_Cancel")->isVisible());
        QVERIFY(!widget<QPushButton>("m_Exit")->isVisible());

        QTest::mouseClick(widget<QPushButton>("m_Login"), Qt::LeftButton);
        QTRY_VERIFY(widget<QComboBox>("m_Devices")->isVisible());
        QVERIFY(widget<QPushButton>("m_Exit")->isVisible());
        QVERIFY(!widget<QPushButton>("m_Cancel")->isVisible());
    }

    void confirmingTheDevice_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("trays");
        QTest::newRow("ok stores the device") << "m_Ok"
                                              << "2_收银台2" << 1;
        QTest::newRow("cancel stores nothing") << "m_Cancel"
                                               << "1_前台" << 0;
    }
    void confirmingTheDevice()
    {
        QFETCH(QString, button);
        QFETCH(QString, stored);
        QFETCH(int, trays);
        m_Config.write("username", "demo");
        m_Config.write("password", "demo123");
        m_Config.write("device", "1_前台");
        QSignalSpy showTray(m_Signin.get(), &WxSignin::showTray);
        m_Signin->shows(false, false);
        QTRY_COMPARE(widget<QComboBox>("m_Devices")->count(), 2);
        widget<QComboBox>("m_Devices")->setCurrentIndex(1);
        QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton);
        QVERIFY(!m_Signin->isVisible());
        QCOMPARE(m_Config.read("device"), stored);
        QCOMPARE(showTray.size(), trays);
    }

    void registrationLinkOpensOutside()
    {
        auto *link = widget<QLabel>("label");
        QVERIFY(link->text().contains("/index.php/Users/index/regedit"));
        QVERIFY(link->text().contains("新用户注册"));
        QVERIFY(link->openExternalLinks());
    }

    void dragging_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<int>("y");
        QTest::addColumn<bool>("moves");
        QTest::newRow("left button in the top band") << Qt::LeftButton << 10 << true;
        QTest::newRow("left button on the band's edge") << Qt::LeftButton << 38 << true;
        QTest::newRow("left button below the band") << Qt::LeftButton << 39 << false;
        QTest::newRow("right button in the band") << Qt::RightButton << 10 << false;
    }
    void dragging()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(int, y);
        QFETCH(bool, moves);
        m_Signin->shows(true, true);
        m_Signin->move(100, 100);
        const QPoint start(200, y);
        QTest::mousePress(m_Signin.get(), button, {}, start);
        QMouseEvent move(QEvent::MouseMove, start + QPoint(30, 20),
                         m_Signin->mapToGlobal(start + QPoint(30, 20)), Qt::NoButton, button, {});
        QApplication::sendEvent(m_Signin.get(), &move);
        QTest::mouseRelease(m_Signin.get(), button, {}, start + QPoint(30, 20));
        QCOMPARE(m_Signin->pos(), moves ? QPoint(130, 120) : QPoint(100, 100));
    }

private:
    template <typename T> T *widget(const QString &name) const
    {
        T *found = m_Signin->findChild<T *>(name);
        Q_ASSERT(found);
        return found;
    }

    PaymentServer m_Server;
    SettingsStore m_Config;
    std::unique_ptr<WxSignin> m_Signin;
};

QTEST_MAIN(TestWxSignin)
#include "tst_wxsignin.moc"
