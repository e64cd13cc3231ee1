#pragma once

#include "captureserver.h"
#include "shell/settingsstore.h"

#include <QMap>

#include <memory>

class Kesto;
class QWidget;

// The main window as a cashier has it once signed in: a remembered account and device, so no
// sign-in dialog, and the service answered by a capture server. The settings given to start()
// come on top; stop() ends the window and removes the settings file.
class RunningKesto
{
public:
    RunningKesto();
    ~RunningKesto();

    Kesto *start(const QMap<QString, QString> &settings = {});
    void stop();
    Kesto *get() const { return m_Kesto.get(); }

    // The first top-level widget of the class, visible or not.
    static QWidget *window(const char *className);

    const SettingsStore config;

private:
    CaptureServer m_Capture;
    std::unique_ptr<Kesto> m_Kesto;
};
