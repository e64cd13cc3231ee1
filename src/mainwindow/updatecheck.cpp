#include "mainwindow/updatecheck.h"

#include "platform/platformintegration.h"
#include "service/replyformat.h"
#include "shell/apppaths.h"

#include <QSettings>

namespace {

const QString Updater = QStringLiteral("Morvane.exe");

int serviceVersion(const QJsonObject &reply)
{
    return wholeNumber(reply.value(QStringLiteral("data"))
                           .toObject()
                           .value(QStringLiteral("version"))
                           .toObject()
                           .value(QStringLiteral("ver")));
}

// The updater writes its version into the settings file as an INI entry of its own.
int storedVersion()
{
    return QSettings(AppPaths::configFile(), QSettings::IniFormat)
        .value(QStringLiteral("/version/number"))
        .toInt();
}

bool startUpdater()
{
    return PlatformIntegration::instance().startProgram(Updater);
}

} // namespace

bool clientOutdated(const QJsonObject &userReply)
{
    return storedVersion() < serviceVersion(userReply);
}

bool startUpdaterIfOutdated(const QJsonObject &userReply)
{
    return clientOutdated(userReply) && startUpdater();
}
