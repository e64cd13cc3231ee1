#include "runningkesto.h"

#include "mainwindow/kesto.h"

#include <QApplication>
#include <QFile>

RunningKesto::RunningKesto()
{
    capture.setReply("/index.php/Pay/Pays/getuser", {200, R"({"data":{"version":{"ver":0}}})"});
}

Kesto *RunningKesto::start(const QMap<QString, QString> &settings)
{
    write(config, settings);
    m_Kesto.reset(new Kesto);
    return m_Kesto.get();
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

void RunningKesto::stop()
{
    m_Kesto.reset();
    QFile::remove(config.path());
}

QWidget *RunningKesto::window(const char *className)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->inherits(className))
            return widget;
    }
    return nullptr;
}
