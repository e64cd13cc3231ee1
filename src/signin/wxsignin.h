#pragma once

#include "payment/paintedframe.h"
#include "service/wxnetwork.h"
#include "shell/settingsstore.h"

#include <QJsonObject>
#include <QWidget>

namespace Ui {
class WxSignin;
}

// Sign-in to the payment service and choice of the payment device: two pages in one frameless
// window, switched by showing and hiding the overlapping widget pairs.
class WxSignin : public QWidget
{
    Q_OBJECT
public:
    explicit WxSignin(QWidget *parent = nullptr);
    ~WxSignin() override;

signals:
    void showTray();

public slots:
    void shows(bool t = true, bool f = true);
    void quit();

private slots:
    void login();
    void readLogin(QJsonObject obj);
    void getDevices(QJsonObject obj);
    void ok();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void requestDevices();

    Ui::WxSignin *ui;
    WindowDrag m_Drag;
    WxNetwork m_LoginNetwork;
    WxNetwork m_DeviceNetwork;
    SettingsStore m_Config;
    bool atStart = true;
};
