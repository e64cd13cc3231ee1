#include "service/serviceurl.h"

#include "service/wxnetwork.h"
#include "shell/settingsstore.h"

QString serviceUrl(const SettingsSnapshot &settings, const char *path)
{
    QString base = settings.read(QStringLiteral("server"));
    if (base.isEmpty())
        base = QStringLiteral(KESTO_SERVICE_URL);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QLatin1String(path);
}

int serviceTimeoutMs(const SettingsSnapshot &settings)
{
    const int seconds = settings.read(QStringLiteral("timeout")).toInt();
    return seconds > 0 ? seconds * 1000 : WxNetwork::DefaultTimeoutMs;
}

QString registrationUrl()
{
    return QStringLiteral(KESTO_REGISTER_HOST "/index.php/Users/index/regedit");
}
