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

namespace {

// The user's own settings file, started from the given one (an administrator's defaults, the
// service address above all) when it does not exist yet.
QString userFile(const QString &defaults)
{
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                        QStringLiteral("/Kesto/config.dat");
    if (QFile::exists(defaults) && !QFile::exists(own) && QDir().mkpath(QFileInfo(own).absolutePath()) &&
        QFile::copy(defaults, own))
        QFile::setPermissions(own, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return own;
}

} // namespace

QString configFile()
{
#ifdef KESTO_SYSTEM_CONFIG
    // Installed as a package: never beside the program, whoever runs it.
    return userFile(QStringLiteral(KESTO_SYSTEM_CONFIG));
#else
    const QString beside = applicationDir() + QStringLiteral("/config.dat");
    const QFileInfo dir(applicationDir());
    const QFileInfo file(beside);
    if (dir.isWritable() || (file.exists() && file.isWritable()))
        return beside;
    return userFile(beside);
#endif
}

} // namespace AppPaths
