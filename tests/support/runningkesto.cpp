#include "runningkesto.h"

#include "mainwindow/kesto.h"

#include <QApplication>

std::unique_ptr<Kesto> RunningKesto::start(const QMap<QString, QString> &settings) const
{
    write(config, settings);
    return std::make_unique<Kesto>();
}

void RunningKesto::write(const SettingsStore &store, const QMap<QString, QString> &settings) const
{
    QMap<QString, QString> all{{"server", capture.url("")}, {"username", "demo"},
                               {"password", "demo123"},     {"remeber", "1"},
                               {"device", "1_前台"},        {"jm_title", "演示商户"}};
    all.insert(settings);
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        store.write(it.key(), it.value());
}

QWidget *RunningKesto::window(const char *className)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->inherits(className))
            return widget;
    }
    return nullptr;
}
