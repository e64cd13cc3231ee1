#include "messagecatcher.h"
#include "paymentserver.h"
#include "rows.h"
#include "shell/settingsstore.h"
#include "signin/wxsignin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace {

QStringList items(QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

} // namespace

// The sign-in dialog against the local payment service.
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

    // Return signs in from the password field only; the account is stored once it is accepted.
    void signingIn_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("remember");
        QTest::addColumn<QString>("trigger"); // a button or the field that gets Return
        QTest::addColumn<QString>("message");
        row("button", "demo", "demo123", true, "m_Login", "");
        row("return in the password", "demo", "demo123", false, "m_Password", "");
        row("return in the user name", "demo", "demo123", true, "m_Username", "-");
        row("wrong password", "demo", "demo124", true, "m_Login", "提示|用户名密码错误，登录失败！");
        row("empty user name", "", "demo123", true, "m_Login", "提示|用户名不能空");
        row("empty password", "demo", "", true, "m_Password", "提示|密码不能空");
    }
    void signingIn()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(bool, remember);
        QFETCH(QString, trigger);
        QFETCH(QString, message);
        MessageCatcher catcher;
        m_Signin->shows(true, true);
        widget<QLineEdit>("m_Username")->setText(username);
        widget<QLineEdit>("m_Password")->setText(password);
        widget<QCheckBox>("m_Remeber")->setChecked(remember);
        if (trigger == "m_Login")
            QTest::mouseClick(widget<QPushButton>(trigger), Qt::LeftButton);
        else
            QTest::keyClick(widget<QLineEdit>(trigger), Qt::Key_Return);

        if (!message.isEmpty()) {
            if (message == "-")
                QTest::qWait(500);
            QTRY_COMPARE(catcher.messages, message == "-" ? QStringList() : QStringList{message});
            QVERIFY(widget<QPushButton>("m_Login")->isVisible());
            QCOMPARE(m_Config.read("username"), QString());
            return;
        }
        QTRY_COMPARE(items(widget<QComboBox>("m_Devices")), (QStringList{"1_前台", "2_收银台2"}));
        QVERIFY(catcher.messages.isEmpty());
        QVERIFY(!widget<QLineEdit>("m_Password")->isVisible());
        QVERIFY(widget<QPushButton>("m_Ok")->isVisible());
        QCOMPARE(m_Config.read("username"), username);
        QCOMPARE(m_Config.read("password"), password);
        QCOMPARE(m_Config.read("remeber"), QString(remember ? "1" : "0"));
        QCOMPARE(m_Config.read("jm_title"), QString("演示商户"));
        QCOMPARE(m_Config.read("jm_userid"), QString("10001"));
    }

    // The list is read from the keyed object up to the first gap or empty name; a reply that
    // arrives twice does not list the devices twice.
    void deviceList_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("deliveries");
        QTest::addColumn<QStringList>("expected");
        const QByteArray two =
            R"({"devices":{"0":{"id":"1","device":"前台"},"1":{"id":"2","device":"收银台2"}}})";
        row("reply arriving twice", two, 2, QStringList{"1_前台", "2_收银台2"});
        row("gap in the keys",
            QByteArray(R"({"devices":{"0":{"id":"1","device":"A"},"2":{"id":"3","device":"C"}}})"), 1,
            QStringList{"1_A"});
        row("empty name ends the list",
            QByteArray(
                R"({"devices":{"0":{"id":"1","device":"A"},"1":{"id":"2"},"2":{"id":"3","device":"C"}}})"),
            1, QStringList{"1_A"});
        row("array instead of object", QByteArray(R"({"devices":[{"id":"1","device":"A"}]})"), 1,
            QStringList{});
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

    // The device page: from the tray the stored device is chosen again; OK stores the choice and
    // brings the tray, Cancel stores nothing.
    void devicePage_data()
    {
        QTest::addColumn<bool>("fromTray");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("button");
        row("from the tray, ok", true, "2_收银台2", "2_收银台2", "m_Ok");
        row("at start, ok", false, "2_收银台2", "1_前台", "m_Ok");
        row("stored device gone, cancel", true, "9_旧设备", "1_前台", "m_Cancel");
    }
    void devicePage()
    {
        QFETCH(bool, fromTray);
        QFETCH(QString, stored);
        QFETCH(QString, current);
        QFETCH(QString, button);
        m_Config.write("username", "demo");
        m_Config.write("password", "demo123");
        m_Config.write("device", stored);
        QSignalSpy showTray(m_Signin.get(), &WxSignin::showTray);
        m_Signin->shows(false, !fromTray);
        auto *devices = widget<QComboBox>("m_Devices");
        QTRY_COMPARE(devices->count(), 2);
        QCOMPARE(devices->currentText(), current);
        QCOMPARE(widget<QPushButton>("m_Cancel")->isVisible(), fromTray);
        QCOMPARE(widget<QPushButton>("m_Exit")->isVisible(), !fromTray);
        devices->setCurrentIndex(1);
        QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton);
        QVERIFY(!m_Signin->isVisible());
        QCOMPARE(m_Config.read("device"), button == "m_Ok" ? QString("2_收银台2") : stored);
        QCOMPARE(showTray.size(), button == "m_Ok" ? 1 : 0);
    }

    // A change of account from the tray can be cancelled until it succeeds; then only Exit is left.
    void changeOfAccountEndsWithExit()
    {
        m_Config.write("username", "demo");
        m_Config.write("password", "demo123");
        m_Signin->shows(true, false);
        QCOMPARE(widget<QLineEdit>("m_Password")->text(), QString("demo123"));
        QVERIFY(widget<QPushButton>("m_Cancel")->isVisible() && !widget<QPushButton>("m_Exit")->isVisible());
        QTest::mouseClick(widget<QPushButton>("m_Login"), Qt::LeftButton);
        QTRY_VERIFY(widget<QComboBox>("m_Devices")->isVisible());
        QVERIFY(widget<QPushButton>("m_Exit")->isVisible() && !widget<QPushButton>("m_Cancel")->isVisible());
    }

private:
    template <typename T> T *widget(const QString &name) const { return m_Signin->findChild<T *>(name); }

    PaymentServer m_Server;
    SettingsStore m_Config;
    std::unique_ptr<WxSignin> m_Signin;
};

QTEST_MAIN(TestWxSignin)
#include "tst_wxsignin.moc"
