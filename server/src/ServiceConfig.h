#pragma once

#include <QDateTime>
#include <functional>

struct ServiceConfig
{
    int clientVersion = 0;
    qint64 confirmDelayMs = 5000;
    qint64 slowReplyMs = 3000;
    int passwordRounds = 210000;
    // How long each sign-in waits once an account has had too many wrong passwords.
    qint64 throttleDelayMs = 1000;
    std::function<qint64()> now = [] { return QDateTime::currentMSecsSinceEpoch(); };
};
