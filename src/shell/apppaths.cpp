#include "shell/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                        QStringLiteral("/Kesto/config.dat");
    // A file that an administrator placed in the program's folder (the service address, say) is
    // where the user's own settings start from.
    if (file.exists() && !QFile::exists(own) && QDir().mkpath(QFileInfo(own).absolutePath()) &&
        QFile::copy(beside, own))
        QFile::setPermissions(own, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return own;
}

} // namespace AppPaths
