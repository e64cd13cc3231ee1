#pragma once

#include <QProcess>

struct xcb_connection_t;

// The other inhabitants of a test's X session (xsession.sh): openbox and xev, in a window named
// "probe" to hold the focus, from start(); trayer from startTray(). All end with this object. Its
// waits keep handling events, for the program under test may live in this process.
class XDesktop
{
public:
    ~XDesktop();

    bool start();
    bool startTray();
    bool focusProbe();
    // Grabs a key with an X modifier mask as another client would, until releaseElsewhere(). The
    // keycodes are Xvfb's (evdev): F1 67, F3 69.
    bool grabElsewhere(quint8 keycode, quint16 modifiers);
    void releaseElsewhere();

    // xdotool's trimmed output, QString() when it failed or took more than 10 s.
    static QString xdotool(const QStringList &args);

private:
    QProcess m_WindowManager, m_Tray, m_Probe;
    xcb_connection_t *m_Other = nullptr;
};
