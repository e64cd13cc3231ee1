#pragma once

#include "payment/paintedframe.h"
#include "shell/myglobalshortcut.h"
#include "shell/settingsstore.h"

#include <QDialog>

namespace Ui {
class WxSetup;
}

// The setup dialog: the pay and refund hotkeys, the receipt printer and its copies, autostart and
// the remembered account. Created once at start-up, filled from the settings before every showing.
class WxSetup : public QDialog
{
    Q_OBJECT
public:
    explicit WxSetup(QWidget *parent = nullptr);
    ~WxSetup() override;

    void loadSetup();

signals:
    // Connected directly to the main window's SetKeys; its outcome comes back through the emit.
    KeysOutcome setkey(QString pkey, QString rkey);
    // Connected directly to the main window's SetScanPort: why the port cannot be opened, if so.
    QString setscanport(const QString &port);
    // The dialog went away, saved or not: the hotkeys suspended while it was open come back.
    void hidden();

private slots:
    void savesetup();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    Ui::WxSetup *ui;
    PaintedFrame m_Frame;
    SettingsStore m_Config;
};
