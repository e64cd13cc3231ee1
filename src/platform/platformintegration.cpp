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

// Never by its bare name: a file of that name in the working directory or on the search path would
// run in its place, on Windows with the program's administrator rights.
bool PlatformIntegration::startProgram(const QString &fileName)
{
    const QString beside = AppPaths::applicationDir() + QLatin1Char('/') + fileName;
    return QFileInfo(beside).isExecutable() && QProcess::startDetached(beside, {});
}
