// The replies that one slot takes whole, each a target of its own (the define): the sign-in with
// the account typed in (WxSignin::readLogin), the device list on the device page opened from the
// tray (getDevices), a page of records (Kesto::readNetLists, parseRecords under it), and the user
// reply's version check, of which only the decision is fuzzed: the updater is a program of its
// own, which a fuzz run must never start.

#include "fuzzclient.h"
#include "mainwindow/kesto.h"
#include "mainwindow/updatecheck.h"
#include "signin/wxsignin.h"

#include <QLineEdit>

namespace {
QWidget *window = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzClient::start();
#if defined(FUZZ_SIGNIN) || defined(FUZZ_DEVICES)
    auto *signin = new WxSignin;
#ifdef FUZZ_SIGNIN
    signin->shows(true, true);
#else
    signin->shows(false, false);
#endif
    signin->findChild<QLineEdit *>(QStringLiteral("m_Username"))->setText(QStringLiteral("demo"));
    signin->findChild<QLineEdit *>(QStringLiteral("m_Password"))->setText(QStringLiteral("demo123"));
    window = signin;
#elif defined(FUZZ_RECORDS)
    window = new Kesto;
    window->show();
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (const auto reply = FuzzClient::reply(data, size)) {
#if defined(FUZZ_SIGNIN)
        FuzzClient::deliver(window, "readLogin", *reply);
#elif defined(FUZZ_DEVICES)
        FuzzClient::deliver(window, "getDevices", *reply);
#elif defined(FUZZ_RECORDS)
        FuzzClient::deliver(window, "readNetLists", *reply);
#else
        clientOutdated(*reply);
#endif
    }
    FuzzClient::settle();
    return 0;
}
