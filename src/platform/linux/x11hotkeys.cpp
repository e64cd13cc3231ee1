#include "platform/linux/x11hotkeys.h"

#include <QCoreApplication>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr quint16 LockMask = XCB_MOD_MASK_LOCK;
// The modifiers a hotkey may use; lock keys and the rest are masked off before matching.
constexpr quint16 HotkeyMask = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
constexpr quint32 NumLockKeysym = 0xFF7F;

template <typename T> struct Freed
{
    T *p;
    ~Freed() { std::free(p); }
    T *operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

} // namespace

bool HeldKeys::firstPress(quint8 keycode, quint32 time)
{
    Hold &hold = m_Keys[keycode];
    if (hold.down)
        return time == hold.since;
    hold.down = true;
    if (hold.released == time && time != 0)
        return false;
    hold.since = time;
    return true;
}

void HeldKeys::release(quint8 keycode, quint32 time)
{
    const auto found = m_Keys.find(keycode);
    if (found == m_Keys.end())
        return;
    found->down = false;
    found->released = time;
}

X11Hotkeys::X11Hotkeys() = default;

// The keysym -> keycodes table and the NumLock bit, from the server's current mapping.
void X11Hotkeys::readKeyboard()
{
    xcb_connection_t *connection = QX11Info::connection();
    m_Keycodes.clear();
    m_NumLock = 0;
    m_KeyboardRead = true;

    const xcb_setup_t *setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Freed<xcb_get_keyboard_mapping_reply_t> mapping{xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, count), nullptr)};
    if (!mapping)
        return;
    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(mapping.p);
    const int perKeycode = mapping->keysyms_per_keycode;
    for (int i = 0; i < count; ++i) {
        const quint8 keycode = quint8(setup->min_keycode + i);
        for (int column = 0; column < perKeycode; ++column) {
            const xcb_keysym_t keysym = keysyms[i * perKeycode + column];
            if (keysym != 0 && !m_Keycodes.value(keysym).contains(keycode))
                m_Keycodes[keysym].append(keycode);
        }
    }

    // NumLock sits on whichever modifier holds a Num_Lock key; Mod2 is common, not given.
    Freed<xcb_get_modifier_mapping_reply_t> modifiers{
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr)};
    if (!modifiers)
        return;
    const xcb_keycode_t *keycodes = xcb_get_modifier_mapping_keycodes(modifiers.p);
    const QVector<quint8> numLockKeys = m_Keycodes.value(NumLockKeysym);
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < modifiers->keycodes_per_modifier; ++i) {
            const xcb_keycode_t keycode = keycodes[modifier * modifiers->keycodes_per_modifier + i];
            if (keycode != 0 && numLockKeys.contains(keycode))
                m_NumLock = quint16(1 << modifier);
        }
    }
}

QVector<quint16> X11Hotkeys::lockVariants() const
{
    QVector<quint16> variants{0, LockMask};
    if (m_NumLock != 0 && m_NumLock != LockMask)
        variants << m_NumLock << quint16(m_NumLock | LockMask);
    return variants;
}

bool X11Hotkeys::grabKeycodes(const NativeHotkey &hotkey, const QVector<quint8> &keycodes)
{
    xcb_connection_t *connection = QX11Info::connection();
    const xcb_window_t root = QX11Info::appRootWindow();
    QVector<QPair<quint8, quint16>> done;
    for (const quint8 keycode : keycodes) {
        for (const quint16 lock : lockVariants()) {
            const quint16 modifiers = quint16(hotkey.modifiers | lock);
            // Checked one by one: another client holding the combination answers BadAccess to
            // this request alone, without a process-wide error handler.
            Freed<xcb_generic_error_t> error{xcb_request_check(
                connection, xcb_grab_key_checked(connection, 1, root, modifiers, keycode, XCB_GRAB_MODE_ASYNC,
                                                 XCB_GRAB_MODE_ASYNC))};
            if (error) {
                for (const auto &grabbed : done)
                    xcb_ungrab_key(connection, grabbed.first, root, grabbed.second);
                xcb_flush(connection);
                return false;
            }
            done.append({keycode, modifiers});
        }
    }
    for (const quint8 keycode : keycodes)
        m_Presses.insert({keycode, quint16(hotkey.modifiers)}, hotkey);
    return true;
}

void X11Hotkeys::ungrabKeycodes(const NativeHotkey &hotkey, const QVector<quint8> &keycodes)
{
    xcb_connection_t *connection = QX11Info::connection();
    for (const quint8 keycode : keycodes) {
        for (const quint16 lock : lockVariants())
            xcb_ungrab_key(connection, keycode, QX11Info::appRootWindow(), quint16(hotkey.modifiers | lock));
        m_Presses.remove({keycode, quint16(hotkey.modifiers)});
        m_Held.forget(keycode);
    }
    xcb_flush(connection);
}

PlatformIntegration::Grab X11Hotkeys::grab(const NativeHotkey &hotkey)
{
    // Offscreen or Wayland: there is no X connection to grab on, and none is made.
    if (!QX11Info::isPlatformX11() || hotkey.key == 0 || (hotkey.modifiers & ~HotkeyMask) != 0)
        return PlatformIntegration::Grab::Unsupported;
    if (m_Grabs.contains(hotkey))
        return PlatformIntegration::Grab::Done;
    if (!m_FilterInstalled) {
        xcb_connection_t *connection = QX11Info::connection();
        Freed<xcb_query_extension_reply_t> xkb{xcb_query_extension_reply(
            connection, xcb_query_extension(connection, std::strlen("XKEYBOARD"), "XKEYBOARD"), nullptr)};
        if (xkb && xkb->present)
            m_XkbEvent = xkb->first_event;
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_FilterInstalled = true;
    }
    if (!m_KeyboardRead)
        readKeyboard();

    // Keycode 0 would be AnyKey: a key without a keycode is simply not on this keyboard.
    QVector<quint8> keycodes = m_Keycodes.value(hotkey.key);
    keycodes.removeAll(0);
    if (keycodes.isEmpty())
        return PlatformIntegration::Grab::Unsupported;
    if (!grabKeycodes(hotkey, keycodes))
        return PlatformIntegration::Grab::Taken;
    m_Grabs.insert(hotkey, keycodes);
    return PlatformIntegration::Grab::Done;
}

bool X11Hotkeys::release(const NativeHotkey &hotkey)
{
    if (!m_Grabs.contains(hotkey))
        return false;
    ungrabKeycodes(hotkey, m_Grabs.take(hotkey));
    return true;
}

bool X11Hotkeys::pressed(const QByteArray &eventType, void *message, NativeHotkey *hotkey)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const quint8 type = static_cast<const xcb_generic_event_t *>(message)->response_type & 0x7F;
    if (type == XCB_KEY_RELEASE) {
        // The grab holds the keyboard until the key is let go, so its release comes here too.
        const auto *release = static_cast<const xcb_key_release_event_t *>(message);
        m_Held.release(release->detail, release->time);
        return false;
    }
    if (type != XCB_KEY_PRESS)
        return false;
    const auto *press = static_cast<const xcb_key_press_event_t *>(message);
    const auto found = m_Presses.constFind({press->detail, quint16(press->state & HotkeyMask)});
    if (found == m_Presses.constEnd())
        return false;
    // A held hotkey shows or hides its window once; its repeats are swallowed rather than passed
    // on as keys to whichever window has the focus.
    if (!m_Held.firstPress(press->detail, press->time)) {
        *hotkey = NativeHotkey();
        return true;
    }
    // The window that the hotkey calls up may then take the focus: for the window manager, the
    // user asked for it at the moment of the key press. Qt would take the time from the event
    // itself, but a claimed event never reaches it.
    QX11Info::setAppTime(press->time);
    QX11Info::setAppUserTime(press->time);
    *hotkey = found.value();
    return true;
}

bool X11Hotkeys::nativeEventFilter(const QByteArray &eventType, void *message, long *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7F;
    // The core MappingNotify, or XKB's new-keyboard and map notifications (byte 1 is XKB's own
    // event type) for a connection that takes XKB's events instead, as Qt's does.
    const bool keyboardChanged =
        (type == XCB_MAPPING_NOTIFY &&
         static_cast<const xcb_mapping_notify_event_t *>(message)->request != XCB_MAPPING_POINTER) ||
        (m_XkbEvent != 0 && type == m_XkbEvent && (event->pad0 == 0 || event->pad0 == 1));
    if (keyboardChanged)
        regrabAll();
    return false;
}

void X11Hotkeys::regrabAll()
{
    const auto grabs = m_Grabs;
    for (auto it = grabs.cbegin(); it != grabs.cend(); ++it)
        ungrabKeycodes(it.key(), it.value());
    readKeyboard();
    m_Grabs.clear();
    for (auto it = grabs.cbegin(); it != grabs.cend(); ++it) {
        QVector<quint8> keycodes = m_Keycodes.value(it.key().key);
        keycodes.removeAll(0);
        // A combination that another program took meanwhile stays registered without keycodes
        // and is tried again at the next change.
        if (keycodes.isEmpty() || !grabKeycodes(it.key(), keycodes))
            keycodes.clear();
        m_Grabs.insert(it.key(), keycodes);
    }
}
