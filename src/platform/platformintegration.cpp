#include "platform/platformintegration.h"

#include "shell/apppaths.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QProcess>

// What every desktop but Windows shares; the Windows implementation overrides it.

QString PlatformIntegration::fontFileName() const
{
    return QStringLiteral("msyh.ttc");
}

// The program's font file is rarely shipped here; an installed family that covers Chinese.
QString PlatformIntegration::fallbackFontFamily() const
{
    return QFontDatabase().families(QFontDatabase::SimplifiedChinese).value(0);
}

// Windows looks for a bare program name beside the running program first; do the same here.
bool PlatformIntegration::startProgram(const QString &fileName)
{
    const QString beside = AppPaths::applicationDir() + QLatin1Char('/') + fileName;
    if (QFileInfo(beside).isExecutable())
        return QProcess::startDetached(beside, {});
    return QProcess::startDetached(fileName, {});
}
