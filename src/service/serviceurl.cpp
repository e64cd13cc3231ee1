#include "service/serviceurl.h"

#include "shell/settingsstore.h"

QString serviceUrl(const SettingsStore &settings, const char *path)
{
    QString base = settings.read(QStringLiteral("server"));
    if (base.isEmpty())
        base = QStringLiteral(KESTO_SERVICE_URL);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QLatin1String(path);
}

QString registrationUrl()
{
    return QStringLiteral(KESTO_REGISTER_HOST "/index.php/Users/index/regedit");
}
