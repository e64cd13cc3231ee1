#include "platform/autostartentry.h"
#include "platform/keytables.h"
#include "platform/platformintegration.h"

#include <QOperatingSystemVersion>
#include <QTextCodec>

#include <windows.h>

#include <string>
#include <vector>

namespace {

const wchar_t RunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// A 32-bit program on 64-bit Windows must ask for the 64-bit registry view, or its Run value
// lands in the redirected copy that the system never starts from.
REGSAM registryView()
{
    using IsWow64ProcessFunction = BOOL(WINAPI *)(HANDLE, PBOOL);
    const HMODULE kernel = GetModuleHandleW(L"kernel32");
    const auto isWow64Process =
        kernel ? reinterpret_cast<IsWow64ProcessFunction>(
                     reinterpret_cast<void (*)()>(GetProcAddress(kernel, "IsWow64Process")))
               : nullptr;
    BOOL wow64 = FALSE;
    if (isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64)
        return KEY_WOW64_64KEY;
    return 0;
}

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

class WindowsPlatform : public PlatformIntegration
{
public:
    NativeHotkey nativeHotkey(int qtKey, Qt::KeyboardModifiers modifiers) const override
    {
        return {windowsVirtualKey(qtKey), windowsModifiers(modifiers)};
    }

    Grab grabHotkey(const NativeHotkey &hotkey) override
    {
        if (hotkey.key == 0)
            return Grab::Unsupported;
        // No window: WM_HOTKEY goes to this thread's queue, where the event dispatcher offers it
        // to the native event filters. A held key fires once, not on every repeat.
        if (RegisterHotKey(nullptr, windowsHotkeyId(hotkey.key, hotkey.modifiers),
                           UINT(hotkey.modifiers) | MOD_NOREPEAT, UINT(hotkey.key)))
            return Grab::Done;
        return GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED ? Grab::Taken : Grab::Unsupported;
    }

    bool releaseHotkey(const NativeHotkey &hotkey) override
    {
        return UnregisterHotKey(nullptr, windowsHotkeyId(hotkey.key, hotkey.modifiers)) != FALSE;
    }

    bool hotkeyPressed(const QByteArray &eventType, void *message, NativeHotkey *pressed) override
    {
        // Qt names thread messages "windows_dispatcher_MSG" in some versions; both carry a MSG.
        if (eventType != "windows_generic_MSG" && eventType != "windows_dispatcher_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_HOTKEY)
            return false;
        pressed->key = HIWORD(msg->lParam);
        pressed->modifiers = LOWORD(msg->lParam);
        return true;
    }

    QString readAutostart(const QString &name) const override
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RunKey, 0, KEY_QUERY_VALUE | registryView(), &key) !=
            ERROR_SUCCESS)
            return QString();
        const std::wstring valueName = wide(name);
        QString value;
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
            type == REG_SZ && size > 0) {
            // The stored data need not end in a NUL, and may be of odd length: take what the size
            // says and no more.
            std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
            DWORD read = DWORD(data.size() * sizeof(wchar_t));
            if (RegQueryValueExW(key, valueName.c_str(), nullptr, &type,
                                 reinterpret_cast<LPBYTE>(data.data()), &read) == ERROR_SUCCESS &&
                type == REG_SZ) {
                int units = int(read / sizeof(wchar_t));
                while (units > 0 && data[size_t(units - 1)] == L'\0')
                    --units;
                value = QString::fromWCharArray(data.data(), units);
            }
        }
        RegCloseKey(key);
        return value;
    }

    bool writeAutostart(const QString &name, const QString &program) override
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, RunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE | registryView(), nullptr, &key, nullptr) != ERROR_SUCCESS)
            return false;
        const std::wstring valueName = wide(name);
        const std::wstring data = wide(AutostartEntry::runValue(program));
        // The byte count of a REG_SZ includes its terminating NUL.
        const DWORD bytes = DWORD((data.size() + 1) * sizeof(wchar_t));
        const bool written =
            RegSetValueExW(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                           bytes) == ERROR_SUCCESS;
        RegCloseKey(key);
        return written;
    }

    bool removeAutostart(const QString &name) override
    {
        HKEY key = nullptr;
        const LONG opened =
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, RunKey, 0, KEY_SET_VALUE | registryView(), &key);
        if (opened == ERROR_FILE_NOT_FOUND)
            return true;
        if (opened != ERROR_SUCCESS)
            return false;
        const LONG deleted = RegDeleteValueW(key, wide(name).c_str());
        RegCloseKey(key);
        return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
    }

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
    void yieldForeground() override { AllowSetForegroundWindow(ASFW_ANY); }
};

} // namespace

PlatformIntegration &PlatformIntegration::instance()
{
    static PlatformIntegration *platform = new WindowsPlatform;
    return *platform;
}
