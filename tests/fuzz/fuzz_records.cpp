// A page of records as the records view takes it (Kesto::readNetLists, parseRecords under it).

#include "fuzzclient.h"
#include "mainwindow/kesto.h"

namespace {
Kesto *view = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzClient::start();
    view = new Kesto;
    view->show();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (const auto reply = FuzzClient::reply(data, size))
        FuzzClient::deliver(view, "readNetLists", *reply);
    FuzzClient::settle();
    return 0;
}
