// The sign-in reply (WxSignin::readLogin), with the account typed in.

#include "fuzzclient.h"
#include "signin/wxsignin.h"

#include <QLineEdit>

namespace {
WxSignin *signin = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzClient::start();
    signin = new WxSignin;
    signin->shows(true, true);
    signin->findChild<QLineEdit *>(QStringLiteral("m_Username"))->setText(QStringLiteral("demo"));
    signin->findChild<QLineEdit *>(QStringLiteral("m_Password"))->setText(QStringLiteral("demo123"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (const auto reply = FuzzClient::reply(data, size))
        FuzzClient::deliver(signin, "readLogin", *reply);
    FuzzClient::settle();
    return 0;
}
