#pragma once

#include <QProcess>

struct xcb_connection_t;

// The other inhabitants of a test's X session (xsession.sh): openbox, trayer, and xev in a window
// named "probe" to hold the focus. All end with this object.
class XDesktop
{
public:
    ~XDesktop();

    bool startWindowManager();
    bool startTray();
    bool focusProbe();
    // Grabs a key with an X modifier mask as another client would, until releaseElsewhere(). The
    // keycodes are Xvfb's (evdev): F1 67, F3 69, a 38.
    bool grabElsewhere(quint8 keycode, quint16 modifiers);
    void releaseElsewhere();

    // xdotool's trimmed output, QString() when it failed.
    static QString xdotool(const QStringList &args);
    static QString activeWindow() { return xdotool({"getactivewindow"}); }
    static QString waitForWindow(const QString &name);

private:
    QProcess m_WindowManager, m_Tray, m_Probe;
    xcb_connection_t *m_Other = nullptr;
};
