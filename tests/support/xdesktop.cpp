#include "xdesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
    process.waitForFinished(3000);
}

template <typename Condition> bool waitFor(Condition condition, int timeoutMs = 10000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        // The program under test may live in this process and must go on handling its events.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
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
    return m_WindowManager.waitForStarted() && waitFor([] {
               QProcess xprop;
               xprop.start("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
               xprop.waitForFinished(3000);
               return xprop.readAllStandardOutput().contains("window id");
           });
}

bool XDesktop::startTray()
{
    if (m_Tray.state() == QProcess::NotRunning)
        m_Tray.start("trayer", {"--edge", "bottom", "--widthtype", "request"});
    return m_Tray.waitForStarted() && waitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); });
}

void XDesktop::stopTray()
{
    stop(m_Tray);
}

QString XDesktop::focusProbe()
{
    if (m_Probe.state() == QProcess::NotRunning)
        m_Probe.start("stdbuf", {"-oL", "xev", "-name", "probe", "-event", "keyboard"});
    const QString window = waitForWindow("probe");
    if (window.isEmpty())
        return QString();
    xdotool({"windowactivate", "--sync", window});
    if (!waitFor([&window] { return activeWindow() == window; }))
        return QString();
    // Only keys pressed from now on count.
    m_Probe.readAllStandardOutput();
    m_ProbeOutput.clear();
    return window;
}

bool XDesktop::grabElsewhere(quint32 keysym, quint16 modifiers)
{
    if (!m_Other)
        m_Other = xcb_connect(nullptr, nullptr);
    const xcb_setup_t *setup = xcb_get_setup(m_Other);
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *mapping = xcb_get_keyboard_mapping_reply(
        m_Other, xcb_get_keyboard_mapping(m_Other, setup->min_keycode, count), nullptr);
    if (!mapping)
        return false;
    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(mapping);
    xcb_keycode_t keycode = 0;
    for (int i = 0; i < count * mapping->keysyms_per_keycode && keycode == 0; ++i) {
        if (keysyms[i] == keysym)
            keycode = xcb_keycode_t(setup->min_keycode + i / mapping->keysyms_per_keycode);
    }
    std::free(mapping);
    if (keycode == 0)
        return false;
    xcb_generic_error_t *error =
        xcb_request_check(m_Other, xcb_grab_key_checked(m_Other, 1, root, modifiers, keycode,
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(error);
    return error == nullptr;
}

void XDesktop::releaseElsewhere()
{
    if (m_Other)
        xcb_disconnect(m_Other);
    m_Other = nullptr;
}

quint32 XDesktop::probePress(const QString &keysym)
{
    m_ProbeOutput += m_Probe.readAllStandardOutput();
    // xev: "KeyPress event, ... time 1271446, ... keycode 38 (keysym 0x61, a), same_screen YES,"
    const QRegularExpression press(
        "KeyPress event,[^\\n]*\\n[^\\n]* time (\\d+),[^\\n]*\\n[^\\n]*\\(keysym 0x[0-9a-f]+, " +
        QRegularExpression::escape(keysym) + "\\), same_screen");
    quint32 time = 0;
    QRegularExpressionMatchIterator matches = press.globalMatch(QString::fromUtf8(m_ProbeOutput));
    while (matches.hasNext())
        time = matches.next().captured(1).toUInt();
    return time;
}

quint32 XDesktop::userTime(const QString &window)
{
    const auto property = [](const QString &id, const QString &name) {
        QProcess xprop;
        xprop.start("xprop", {"-id", id, name});
        xprop.waitForFinished(3000);
        return QString::fromUtf8(xprop.readAllStandardOutput()).section(' ', -1).trimmed();
    };
    QString holder = property(window, "_NET_WM_USER_TIME_WINDOW");
    if (!holder.startsWith("0x"))
        holder = window;
    return property(holder, "_NET_WM_USER_TIME").toUInt();
}

QString XDesktop::xdotool(const QStringList &args)
{
    QProcess process;
    process.start("xdotool", args);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString XDesktop::waitForWindow(const QString &name, int timeoutMs)
{
    QString window;
    waitFor(
        [&] {
            window = xdotool({"search", "--onlyvisible", "--name", "^" + name + "$"}).section('\n', 0, 0);
            return !window.isEmpty();
        },
        timeoutMs);
    return window;
}
