#pragma once

#include "shell/settingsstore.h"

#include <QMap>

// The service's demo account at the first till, remembered in this program's settings file, with
// the service's address and any other entries on top.
inline void rememberAccount(const QString &server, const QMap<QString, QString> &more = {})
{
    QMap<QString, QString> entries{{"server", server},
                                   {"username", "demo"},
                                   {"password", "demo123"},
                                   {"device", "1_前台"},
                                   {"jm_title", "演示商户"}};
    entries.insert(more);
    const SettingsStore config;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        config.write(it.key(), it.value());
}
