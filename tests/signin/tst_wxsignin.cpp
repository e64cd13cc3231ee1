#include "messagecatcher.h"
#include "paymentserver.h"
#include "rows.h"
#include "shell/settingsstore.h"
#include "signin/wxsignin.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>

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

    // Every way a sign-in fails leaves the account unstored and the dialog open: Return in the
    // user name is no sign-in, an unreachable service answers nothing. (The end-to-end run signs in.)
    void signingInFails_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("trigger"); // a button or the field that gets Return
        QTest::addColumn<QStringList>("messages");
        row("return in the user name", "", "demo123", "m_Username", QStringList());
        row("wrong password", "", "demo124", "m_Login", QStringList{"提示|用户名密码错误，登录失败！"});
        row("empty password", "", "", "m_Password", QStringList{"提示|密码不能空"});
        row("service unreachable", "http://127.0.0.1:9", "demo123", "m_Login", QStringList());
    }
    void signingInFails()
    {
        QFETCH(QString, server);
        QFETCH(QString, password);
        QFETCH(QString, trigger);
        QFETCH(QStringList, messages);
        if (!server.isEmpty())
            m_Config.write("server", server);
        MessageCatcher catcher;
        m_Signin->shows(true, true);
        widget<QLineEdit>("m_Username")->setText("demo");
        widget<QLineEdit>("m_Password")->setText(password);
        if (trigger == "m_Login")
            QTest::mouseClick(widget<QPushButton>(trigger), Qt::LeftButton);
        else
            QTest::keyClick(widget<QLineEdit>(trigger), Qt::Key_Return);
        if (messages.isEmpty())
            QTest::qWait(500); // for a message that must not come
        QTRY_COMPARE(catcher.messages, messages);
        QVERIFY(widget<QPushButton>("m_Login")->isVisible());
        QCOMPARE(m_Config.read("username"), QString());
    }

    // The list ends at the first entry without a name; a reply arriving twice lists once.
    void deviceList()
    {
        const QJsonObject reply =
            QJsonDocument::fromJson(
                R"({"devices":{"0":{"id":"1","device":"前台"},"1":{"id":"2"},"2":{"id":"3","device":"C"}}})")
                .object();
        widget<QComboBox>("m_Devices")->addItem("stale entry");
        for (int i = 0; i < 2; ++i)
            QMetaObject::invokeMethod(m_Signin.get(), "getDevices", Q_ARG(QJsonObject, reply));
        QCOMPARE(widget<QComboBox>("m_Devices")->count(), 1);
        QCOMPARE(widget<QComboBox>("m_Devices")->itemText(0), QString("1_前台"));
    }

private:
    template <typename T> T *widget(const QString &name) const { return m_Signin->findChild<T *>(name); }

    PaymentServer m_Server;
    SettingsStore m_Config;
    std::unique_ptr<WxSignin> m_Signin;
};

QTEST_MAIN(TestWxSignin)
#include "tst_wxsignin.moc"
