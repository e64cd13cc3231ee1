#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

struct xcb_connection_t;

// The other inhabitants of a test's X session (tests/support/xsession.sh gives the session): a
// real window manager, a notification area, and a program that holds the focus and reports
// every key it receives. Whatever it starts ends with it.
class XDesktop
{
public:
    ~XDesktop();

    // Openbox; returns once it manages the screen.
    bool startWindowManager();
    bool startTray();
    void stopTray();
    // xev in a window named "probe", started on first use; returns its window id once it has the
    // focus.
    QString focusProbe();
    // The X time of the probe's latest press of the key with this keysym name ("a", "c") since
    // it was last focused; 0 when it received none.
    quint32 probePress(const QString &keysym);
    bool probeReceived(const QString &keysym) { return probePress(keysym) != 0; }

    // Grabs a key combination as another X client would (a connection of its own), with the X
    // modifier mask given; false when the server refused. Held until releaseElsewhere().
    bool grabElsewhere(quint32 keysym, quint16 modifiers);
    void releaseElsewhere();

    // Runs xdotool and returns its output, trimmed; QString() when it failed.
    static QString xdotool(const QStringList &args);
    static QString activeWindow() { return xdotool({"getactivewindow"}); }
    // The _NET_WM_USER_TIME that a window shows the window manager (on its user-time window when
    // it has one): when the user last asked for it.
    static quint32 userTime(const QString &window);
    // The first visible window with exactly this name, waiting for it.
    static QString waitForWindow(const QString &name, int timeoutMs = 10000);

private:
    QProcess m_WindowManager;
    QProcess m_Tray;
    QProcess m_Probe;
    QByteArray m_ProbeOutput;
    xcb_connection_t *m_Other = nullptr;
};
