#include "platform/keytables.h"
#include "platform/platformintegration.h"
#include "platform/windows/win32core.h"

#include <QCoreApplication>
#include <QDir>
#include <QOperatingSystemVersion>
#include <QTextCodec>

namespace {

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

std::wstring nativePath(const QString &path)
{
    return wide(QDir::toNativeSeparators(path));
}

// Conversions only: the Win32 calls are in win32core.cpp.
class WindowsPlatform : public PlatformIntegration
{
public:
    NativeHotkey nativeHotkey(int qtKey, Qt::KeyboardModifiers modifiers) const override
    {
        return {windowsVirtualKey(qtKey), windowsModifiers(modifiers)};
    }

    Grab grabHotkey(const NativeHotkey &hotkey) override
    {
        switch (Win32::registerHotkey(hotkey.key, hotkey.modifiers)) {
        case Win32::HotkeyGrab::Done:
            return Grab::Done;
        case Win32::HotkeyGrab::Taken:
            return Grab::Taken;
        case Win32::HotkeyGrab::Failed:
            break;
        }
        return Grab::Unsupported;
    }

    bool releaseHotkey(const NativeHotkey &hotkey) override
    {
        return Win32::unregisterHotkey(hotkey.key, hotkey.modifiers);
    }

    bool hotkeyPressed(const QByteArray &eventType, void *message, NativeHotkey *pressed) override
    {
        // Qt names thread messages "windows_dispatcher_MSG" in some versions; both carry a MSG.
        if (eventType != "windows_generic_MSG" && eventType != "windows_dispatcher_MSG")
            return false;
        unsigned key = 0;
        unsigned modifiers = 0;
        if (!Win32::hotkeyMessage(message, &key, &modifiers))
            return false;
        pressed->key = key;
        pressed->modifiers = modifiers;
        return true;
    }

    QString readAutostart(const QString &name) const override
    {
        return QString::fromStdWString(
            Win32::readAutostart(wide(name), nativePath(QCoreApplication::applicationFilePath())));
    }

    bool writeAutostart(const QString &name, const QString &program) override
    {
        return Win32::writeAutostart(wide(name), nativePath(program));
    }

    bool removeAutostart(const QString &name) override
    {
        return Win32::removeAutostart(wide(name), nativePath(QCoreApplication::applicationFilePath()));
    }

    bool startProgram(const QString &fileName) override { return Win32::startBeside(wide(fileName)); }

    QString fontFileName() const override
    {
        if (QOperatingSystemVersion::current() <
            QOperatingSystemVersion(QOperatingSystemVersion::Windows, 6, 0))
            return QStringLiteral("simsun.ttc");
        return QStringLiteral("msyh.ttc");
    }
    QString fallbackFontFamily() const override { return QString(); }
    void setLocaleCodec() override { QTextCodec::setCodecForLocale(QTextCodec::codecForName("GBK")); }

    // The second start is the foreground process the user just launched; only it may let the
    // running instance take the foreground.
    void yieldForeground() override { Win32::allowForeground(); }
};

} // namespace

PlatformIntegration &PlatformIntegration::instance()
{
    static PlatformIntegration *platform = new WindowsPlatform;
    return *platform;
}
