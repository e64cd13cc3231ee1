#pragma once

#include <QJsonObject>

// Compares the newest client version that the service reports with the one stored in the
// settings file and, when the service's is newer, starts the separate updater program.
// True when the updater was started; the program is then to end.
bool startUpdaterIfOutdated(const QJsonObject &userReply);

// The decision alone: whether the service's version is newer than the stored one.
bool clientOutdated(const QJsonObject &userReply);
