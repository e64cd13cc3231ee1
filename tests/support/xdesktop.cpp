#include "xdesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSystemTrayIcon>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

void stop(QProcess &process)
{
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished(3000);
}

// Keeps handling events: the program under test may live in this process.
template <typename Condition> bool waitFor(Condition condition)
{
    for (const QDeadlineTimer deadline(10000); !condition(); QThread::msleep(20)) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

} // namespace

XDesktop::~XDesktop()
{
    releaseElsewhere();
    stop(m_Probe);
    stop(m_Tray);
    stop(m_WindowManager);
}

bool XDesktop::startWindowManager()
{
    // A window manager that ended before may have left its mark on the root window.
    QProcess::execute("xprop", {"-root", "-remove", "_NET_SUPPORTING_WM_CHECK"});
    m_WindowManager.start("openbox", {"--config-file", OPENBOX_RC});
    return waitFor([] {
        return QProcess::execute("sh", {"-c", "xprop -root | grep -q SUPPORTING_WM_CHECK"}) == 0;
    });
}

bool XDesktop::startTray()
{
    if (m_Tray.state() == QProcess::NotRunning)
        m_Tray.start("trayer", {"--edge", "bottom", "--widthtype", "request"});
    return waitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); });
}

bool XDesktop::focusProbe()
{
    if (m_Probe.state() == QProcess::NotRunning)
        m_Probe.start("xev", {"-name", "probe", "-event", "keyboard"});
    const QString window = waitForWindow("probe");
    xdotool({"windowactivate", "--sync", window});
    return !window.isEmpty() && waitFor([&window] { return activeWindow() == window; });
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
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString XDesktop::waitForWindow(const QString &name)
{
    QString window;
    waitFor([&] {
        window = xdotool({"search", "--onlyvisible", "--name", "^" + name + "$"}).section('\n', 0, 0);
        return !window.isEmpty();
    });
    return window;
}
