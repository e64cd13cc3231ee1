#pragma once

#include "captureserver.h"
#include "shell/settingsstore.h"

#include <memory>

class Kesto;
class QWidget;

// The main window with a remembered account and device, the service a capture server. start()
// writes the settings file with its settings on top; write() the same into another file.
class RunningKesto
{
public:
    std::unique_ptr<Kesto> start(const QMap<QString, QString> &settings = {}) const;
    void write(const SettingsStore &store, const QMap<QString, QString> &settings = {}) const;
    // The first top-level widget of the class, visible or not.
    static QWidget *window(const char *className);

    const SettingsStore config;
    CaptureServer capture;
};
