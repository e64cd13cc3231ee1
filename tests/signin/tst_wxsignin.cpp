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

// The sign-in dialog against the local payment service.
class TestWxSignin : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(m_Config.path());
        m_Config.write("server", m_Server.baseUrl());
        m_Signin.reset(new WxSignin);
    }

    // Return signs in from the password field only; the account is stored once it is accepted.
    // "-": no message, and still signed out.
    void signingIn_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("remember");
        QTest::addColumn<QString>("trigger"); // a button or the field that gets Return
        QTest::addColumn<QString>("message");
        row("button", "", "demo123", true, "m_Login", "");
        row("return in the password", "", "demo123", false, "m_Password", "");
        row("return in the user name", "", "demo123", true, "m_Username", "-");
        row("wrong password", "", "demo124", true, "m_Login", "提示|用户名密码错误，登录失败！");
        row("empty password", "", "", true, "m_Password", "提示|密码不能空");
        row("service unreachable", "http://127.0.0.1:9", "demo123", true, "m_Login", "-");
    }
    void signingIn()
    {
        QFETCH(QString, server);
        QFETCH(QString, password);
        QFETCH(bool, remember);
        QFETCH(QString, trigger);
        QFETCH(QString, message);
        if (!server.isEmpty())
            m_Config.write("server", server);
        MessageCatcher catcher;
        m_Signin->shows(true, true);
        widget<QLineEdit>("m_Username")->setText("demo");
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
        QTRY_COMPARE(items(), (QStringList{"1_前台", "2_收银台2"}));
        QVERIFY(catcher.messages.isEmpty() && !widget<QLineEdit>("m_Password")->isVisible());
        const QMap<QString, QString> stored{{"username", "demo"},
                                            {"password", "demo123"},
                                            {"remeber", remember ? "1" : "0"},
                                            {"jm_title", "演示商户"},
                                            {"jm_userid", "10001"}};
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            QCOMPARE(m_Config.read(it.key()), it.value());
    }

    // The list is read up to the first gap or empty name; a reply arriving twice lists once.
    void deviceList_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("deliveries");
        QTest::addColumn<QStringList>("expected");
        row("reply arriving twice",
            QByteArray(R"({"devices":{"0":{"id":"1","device":"前台"},"1":{"id":"2","device":"B"}}})"), 2,
            QStringList{"1_前台", "2_B"});
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
        widget<QComboBox>("m_Devices")->addItems({"stale entry"});
        for (int i = 0; i < deliveries; ++i)
            QMetaObject::invokeMethod(m_Signin.get(), "getDevices",
                                      Q_ARG(QJsonObject, QJsonDocument::fromJson(reply).object()));
        QCOMPARE(items(), expected);
    }

    // From the tray the stored device is chosen again and Cancel is offered; OK stores the choice
    // and brings the tray, Cancel stores nothing.
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

    // A change of account from the tray starts from the stored one and can be cancelled until it
    // succeeds; then only Exit is left.
    void changeOfAccountEndsWithExit()
    {
        m_Config.write("username", "demo");
        m_Config.write("password", "demo123");
        m_Signin->shows(true, false);
        QVERIFY(widget<QPushButton>("m_Cancel")->isVisible() && !widget<QPushButton>("m_Exit")->isVisible());
        QTest::mouseClick(widget<QPushButton>("m_Login"), Qt::LeftButton);
        QTRY_VERIFY(widget<QComboBox>("m_Devices")->isVisible());
        QVERIFY(widget<QPushButton>("m_Exit")->isVisible() && !widget<QPushButton>("m_Cancel")->isVisible());
    }

private:
    template <typename T> T *widget(const QString &name) const { return m_Signin->findChild<T *>(name); }
    QStringList items() const
    {
        QStringList texts;
        for (int i = 0; i < widget<QComboBox>("m_Devices")->count(); ++i)
            texts << widget<QComboBox>("m_Devices")->itemText(i);
        return texts;
    }

    PaymentServer m_Server;
    SettingsStore m_Config;
    std::unique_ptr<WxSignin> m_Signin;
};

QTEST_MAIN(TestWxSignin)
#include "tst_wxsignin.moc"
