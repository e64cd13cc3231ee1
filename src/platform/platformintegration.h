#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QPair>
#include <QString>
#include <Qt>

// A system-wide key combination in the platform's own terms: a virtual-key code and MOD_* bits on
// Windows, a keysym and X modifier mask on X11. Callers only compare and hash it.
struct NativeHotkey
{
    quint32 key = 0; // 0: the key has no counterpart on this platform
    quint32 modifiers = 0;
};

inline bool operator==(const NativeHotkey &a, const NativeHotkey &b)
{
    return a.key == b.key && a.modifiers == b.modifiers;
}

inline uint qHash(const NativeHotkey &hotkey, uint seed = 0)
{
    return qHash(qMakePair(hotkey.key, hotkey.modifiers), seed);
}

// What the program needs from the desktop it runs on: system-wide hotkeys and starting with the
// session. One implementation per platform is built in (see src/CMakeLists.txt); nothing outside
// this folder knows which.
class PlatformIntegration
{
public:
    enum class Grab { Done, Taken, Unsupported };

    static PlatformIntegration &instance();
    virtual ~PlatformIntegration() = default;

    virtual NativeHotkey nativeHotkey(int qtKey, Qt::KeyboardModifiers modifiers) const = 0;
    // Takes the combination for this program: Taken when another program holds it, Unsupported
    // when the key does not exist here or the desktop offers no global keys.
    virtual Grab grabHotkey(const NativeHotkey &hotkey) = 0;
    virtual bool releaseHotkey(const NativeHotkey &hotkey) = 0;
    // Whether a native event (as a native event filter receives it) is the press of a grabbed
    // combination, and which one. A repeat of a held combination answers true with key 0: it is
    // taken from the application and fires nothing.
    virtual bool hotkeyPressed(const QByteArray &eventType, void *message, NativeHotkey *pressed) = 0;

    // The entry that starts the program with the user's session, by name. Reading gives its
    // command, empty when there is no active entry.
    virtual QString readAutostart(const QString &name) const = 0;
    virtual bool writeAutostart(const QString &name, const QString &program) = 0;
    virtual bool removeAutostart(const QString &name) = 0;

    // The font file beside the program that carries the Chinese texts, and the family that stands
    // in where that file is missing (empty: the toolkit's default).
    virtual QString fontFileName() const;
    virtual QString fallbackFontFamily() const;
    // The codec for local 8-bit text, where the program chooses it.
    virtual void setLocaleCodec() {}
    // Starts a helper program of the given file name from the running program's own folder, by its
    // absolute path, detached; false when it is not there.
    virtual bool startProgram(const QString &fileName);
    // The tray icon's tooltip for a plain text, so that it shows as typed and is never taken for
    // markup.
    virtual QString trayToolTip(const QString &text) const { return text; }

    // The name of a single-instance object (semaphore, segment, local socket) as this platform needs
    // it: where users of one machine share such names, each user's own.
    virtual QString instanceName(const QString &name) const { return name; }

    // Told by a second start, which the user has just launched, before it hands over.
    virtual void yieldForeground() {}
    // Told by the running instance before it brings a window forward on that request, so that
    // the window manager counts it as the user's doing.
    virtual void noteUserAction() {}
};
