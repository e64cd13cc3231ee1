// The device list (WxSignin::getDevices), on the device page opened from the tray, where the
// stored device is chosen again.

#include "fuzzclient.h"
#include "signin/wxsignin.h"

namespace {
WxSignin *signin = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzClient::start();
    signin = new WxSignin;
    signin->shows(false, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (const auto reply = FuzzClient::reply(data, size))
        FuzzClient::deliver(signin, "getDevices", *reply);
    FuzzClient::settle();
    return 0;
}
