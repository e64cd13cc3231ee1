#pragma once

#include "platform/platformintegration.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QPair>
#include <QVector>

// Tells the first press of a held key from the presses that autorepeat adds: X sends those as
// further presses, or (without XKB's detectable autorepeat, as on Qt's connection) each as a
// release and a press with one timestamp. Every shortcut's filter is offered the same event, and
// the same event gets the same answer.
class HeldKeys
{
public:
    bool firstPress(quint8 keycode, quint32 time);
    void release(quint8 keycode, quint32 time);
    void forget(quint8 keycode) { m_Keys.remove(keycode); }

private:
    struct Hold
    {
        bool down = false;
        quint32 since = 0;    // the press that began the hold
        quint32 released = 0; // the last release
    };
    QHash<quint8, Hold> m_Keys;
};

// System-wide hotkeys on X11: passive key grabs on the root window through Qt's own xcb
// connection. The filter part only watches for keyboard mapping changes, after which every grab is
// made again on the keycodes of the new mapping.
class X11Hotkeys : public QAbstractNativeEventFilter
{
public:
    X11Hotkeys();

    PlatformIntegration::Grab grab(const NativeHotkey &hotkey);
    bool release(const NativeHotkey &hotkey);
    bool pressed(const QByteArray &eventType, void *message, NativeHotkey *hotkey);

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

private:
    using KeyState = QPair<quint8, quint16>; // keycode, modifiers without lock bits

    void readKeyboard();
    QVector<quint16> lockVariants() const;
    bool grabKeycodes(const NativeHotkey &hotkey, const QVector<quint8> &keycodes);
    void ungrabKeycodes(const NativeHotkey &hotkey, const QVector<quint8> &keycodes);
    void regrabAll();

    bool m_FilterInstalled = false;
    bool m_KeyboardRead = false;
    quint8 m_XkbEvent = 0;                      // first event code of the XKEYBOARD extension, 0 without it
    QHash<quint32, QVector<quint8>> m_Keycodes; // keysym -> every keycode that produces it
    quint16 m_NumLock = 0;
    QHash<NativeHotkey, QVector<quint8>> m_Grabs; // registered hotkeys and the keycodes grabbed for them
    QHash<KeyState, NativeHotkey> m_Presses;
    HeldKeys m_Held; // grabbed keys only: a key pressed elsewhere may be released elsewhere
};
