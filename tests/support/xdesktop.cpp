#include "xdesktop.h"

#include <QSystemTrayIcon>
#include <QtTest/QTest>

#include <xcb/xcb.h>

#include <cstdlib>

XDesktop::~XDesktop()
{
    releaseElsewhere();
    for (QProcess *process : {&m_Probe, &m_Tray, &m_WindowManager}) {
        process->kill();
        process->waitForFinished();
    }
}

bool XDesktop::start()
{
    m_WindowManager.start("openbox", {"--config-file", OPENBOX_RC});
    m_Probe.start("xev", {"-name", "probe", "-event", "keyboard"});
    return QTest::qWaitFor(
        [] {
            return QProcess::execute("sh", {"-c", "xprop -root | grep -q SUPPORTING_WM_CHECK"}) == 0;
        },
        10000);
}

bool XDesktop::startTray()
{
    m_Tray.start("trayer", {"--edge", "bottom", "--widthtype", "request"});
    return QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000);
}

bool XDesktop::focusProbe()
{
    const QString window = xdotool({"search", "--sync", "--onlyvisible", "--name", "^probe$"});
    xdotool({"windowactivate", "--sync", window});
    return !window.isEmpty() &&
           QTest::qWaitFor([&] { return xdotool({"getactivewindow"}) == window; }, 10000);
}

bool XDesktop::grabElsewhere(quint8 keycode, quint16 modifiers)
{
    if (!m_Other)
        m_Other = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_Other)).data->root;
    xcb_generic_error_t *error =
        xcb_request_check(m_Other, xcb_grab_key_checked(m_Other, 1, root, modifiers, keycode,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    free(error);
    return error == nullptr;
}

void XDesktop::releaseElsewhere()
{
    if (m_Other)
        xcb_disconnect(m_Other);
    m_Other = nullptr;
}

QString XDesktop::xdotool(const QStringList &args)
{
    QProcess process;
    process.start("xdotool", args);
    const bool done = process.waitForFinished(10000) && process.exitCode() == 0;
    return done ? QString::fromUtf8(process.readAllStandardOutput()).trimmed() : QString();
}
