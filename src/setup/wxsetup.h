#pragma once

#include "shell/settingsstore.h"

#include <QDialog>

// The setup dialog. So far only its place in the program: created once at start-up, filled
// from the settings before every showing.
class WxSetup : public QDialog
{
    Q_OBJECT
public:
    explicit WxSetup(QWidget *parent = nullptr);

    void loadSetup();

private:
    SettingsStore m_Config;
};
