#pragma once

#include "captureserver.h"
#include "shell/settingsstore.h"

#include <memory>

class Kesto;
class QWidget;

// The main window with a remembered account and device, the service a capture server; start()'s
// settings come on top, stop() also removes the settings file. write() puts the same settings
// into another file, for the real program.
class RunningKesto
{
public:
    RunningKesto();
    ~RunningKesto() { stop(); }
    Kesto *start(const QMap<QString, QString> &settings = {});
    void write(const SettingsStore &store, const QMap<QString, QString> &settings = {}) const;
    void stop();
    Kesto *get() const { return m_Kesto.get(); }
    // The first top-level widget of the class, visible or not.
    static QWidget *window(const char *className);

    const SettingsStore config;
    CaptureServer capture;

private:
    std::unique_ptr<Kesto> m_Kesto;
};
