// The user reply's version check. Only the decision is fuzzed: the updater it may lead to is a
// program of its own, which a fuzz run must never start.

#include "fuzzclient.h"
#include "mainwindow/updatecheck.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzClient::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (const auto reply = FuzzClient::reply(data, size))
        clientOutdated(*reply);
    return 0;
}
