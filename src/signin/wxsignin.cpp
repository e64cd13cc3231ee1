#include "signin/wxsignin.h"
#include "ui_wxsignin.h"

#include "service/formbody.h"
#include "service/servicepaths.h"
#include "service/serviceurl.h"

#include <QApplication>
#include <QJsonValue>
#include <QListView>
#include <QMessageBox>
#include <QMouseEvent>

namespace {

// The height of the band at the top by which the title-less window is dragged.
constexpr int DragBandHeight = 38;

} // namespace

WxSignin::WxSignin(QWidget *parent) : QWidget(parent), ui(new Ui::WxSignin)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    // A plain list view, so that the style sheet's item height applies to the pop-up.
    ui->m_Devices->setView(new QListView(ui->m_Devices));
    ui->label->setText(QStringLiteral("<a href=\"%1\">新用户注册</a>").arg(registrationUrl()));

    connect(ui->m_Exit, &QPushButton::clicked, this, &WxSignin::quit);
    connect(ui->m_Login, &QPushButton::clicked, this, &WxSignin::login);
    connect(ui->m_Cancel, &QPushButton::clicked, this, &WxSignin::hide);
    connect(ui->m_Ok, &QPushButton::clicked, this, &WxSignin::ok);
    connect(ui->m_Password, &QLineEdit::returnPressed, this, &WxSignin::login);
    connect(&m_LoginNetwork, &WxNetwork::PostFinish, this, &WxSignin::readLogin);
    connect(&m_DeviceNetwork, &WxNetwork::PostFinish, this, &WxSignin::getDevices);
}

WxSignin::~WxSignin()
{
    delete ui;
}

void WxSignin::shows(bool t, bool f)
{
    atStart = f;
    ui->m_Login->setVisible(t);
    ui->m_Password->setVisible(t);
    ui->m_Username->setVisible(t);
    ui->m_Remeber->setVisible(t);
    ui->m_Devices->setVisible(!t);
    ui->m_Ok->setVisible(!t);
    ui->m_DeviceText->setVisible(!t);
    if (!f) {
        ui->m_Username->setText(m_Config.read(QStringLiteral("username")));
        ui->m_Password->setText(m_Config.read(QStringLiteral("password")));
    }
    ui->m_Exit->setVisible(f);
    ui->m_Cancel->setVisible(!f);
    if (!t)
        requestDevices();
    show();
}

void WxSignin::quit()
{
    QApplication::quit();
}

void WxSignin::login()
{
    if (ui->m_Username->text().isEmpty()) {
        QMessageBox::about(this, QStringLiteral("提示"), QStringLiteral("用户名不能空"));
        return;
    }
    if (ui->m_Password->text().isEmpty()) {
        QMessageBox::about(this, QStringLiteral("提示"), QStringLiteral("密码不能空"));
        return;
    }
    m_LoginNetwork.sendTo(serviceUrl(m_Config, ServicePath::Login),
                          formBody({{QStringLiteral("username"), ui->m_Username->text()},
                                    {QStringLiteral("password"), ui->m_Password->text()}}));
}

void WxSignin::readLogin(QJsonObject obj)
{
    const QJsonObject jm = obj.value(QStringLiteral("jm")).toObject();
    const QJsonObject status = obj.value(QStringLiteral("status")).toObject();
    if (status.value(QStringLiteral("login")).toString() != QStringLiteral("1")) {
        QMessageBox::about(this, QStringLiteral("提示"), QStringLiteral("用户名密码错误，登录失败！"));
        return;
    }
    m_Config.write(QStringLiteral("username"), ui->m_Username->text());
    m_Config.write(QStringLiteral("password"), ui->m_Password->text());
    m_Config.write(QStringLiteral("remeber"),
                   ui->m_Remeber->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    m_Config.write(QStringLiteral("jm_userid"), jm.value(QStringLiteral("userid")).toString());
    m_Config.write(QStringLiteral("jm_title"), jm.value(QStringLiteral("title")).toString());
    // The device page asks for the list with the account just stored.
    shows(false, true);
}

void WxSignin::getDevices(QJsonObject obj)
{
    const QJsonObject devices = obj.value(QStringLiteral("devices")).toObject();
    const QString stored = m_Config.read(QStringLiteral("device"));
    ui->m_Devices->clear();
    for (int i = 0; i <= devices.size(); ++i) {
        const QJsonObject entry = devices.value(QString::number(i)).toObject();
        const QString device = entry.value(QStringLiteral("device")).toString();
        if (device.isEmpty())
            break;
        ui->m_Devices->addItem(entry.value(QStringLiteral("id")).toString() + QLatin1Char('_') + device);
    }
    // Once, after the list: a search per entry made a long list freeze the page.
    const int index = ui->m_Devices->findText(stored);
    if (!atStart && index >= 0)
        ui->m_Devices->setCurrentIndex(index);
}

void WxSignin::ok()
{
    m_Config.write(QStringLiteral("device"), ui->m_Devices->currentText());
    emit showTray();
    hide();
}

void WxSignin::requestDevices()
{
    m_DeviceNetwork.sendTo(serviceUrl(m_Config, ServicePath::Devices), formBody(accountFields(m_Config)));
}

void WxSignin::mousePressEvent(QMouseEvent *event)
{
    if (event->pos().y() <= DragBandHeight && event->pos().x() >= 0 && event->pos().x() < width() &&
        !isMaximized())
        m_Drag.press(this, event);
    QWidget::mousePressEvent(event);
}

void WxSignin::mouseMoveEvent(QMouseEvent *event)
{
    m_Drag.move(this, event);
    QWidget::mouseMoveEvent(event);
}

void WxSignin::mouseReleaseEvent(QMouseEvent *event)
{
    m_Drag.release(event);
    QWidget::mouseReleaseEvent(event);
}
