#pragma once

#include "shell/settingsstore.h"

#include <QMap>

// The service's demo account at the first till, remembered in a settings file (this program's by
// default), with the service's address and any other entries on top.
inline void rememberAccount(const QString &server, const QMap<QString, QString> &more = {},
                            const SettingsStore &store = SettingsStore())
{
    QMap<QString, QString> entries{{"server", server}, {"username", "demo"}, {"password", "demo123"},
                                   {"remeber", "1"},   {"device", "1_前台"}, {"jm_title", "演示商户"}};
    entries.insert(more);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        store.write(it.key(), it.value());
}
