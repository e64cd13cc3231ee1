#include "shell/apppaths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace AppPaths {

QString applicationDir()
{
    return QCoreApplication::applicationDirPath();
}

QString configFile()
{
    const QString beside = applicationDir() + QStringLiteral("/config.dat");
    const QFileInfo dir(applicationDir());
    const QFileInfo file(beside);
    if (dir.isWritable() || (file.exists() && file.isWritable()))
        return beside;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kesto/config.dat");
}

} // namespace AppPaths
