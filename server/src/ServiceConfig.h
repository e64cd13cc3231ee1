#pragma once

#include <QDateTime>
#include <functional>

struct ServiceConfig
{
    int clientVersion = 0;
    qint64 confirmDelayMs = 5000;
    qint64 slowReplyMs = 3000;
    std::function<qint64()> now = [] { return QDateTime::currentMSecsSinceEpoch(); };
};
