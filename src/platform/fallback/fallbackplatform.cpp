#include "platform/keytables.h"
#include "platform/platformintegration.h"

namespace {

// A desktop without support here: no global keys and no autostart, and nothing pretends otherwise.
class FallbackPlatform : public PlatformIntegration
{
public:
    NativeHotkey nativeHotkey(int qtKey, Qt::KeyboardModifiers modifiers) const override
    {
        return {windowsVirtualKey(qtKey), windowsModifiers(modifiers)};
    }
    Grab grabHotkey(const NativeHotkey &) override { return Grab::Unsupported; }
    bool releaseHotkey(const NativeHotkey &) override { return false; }
    bool hotkeyPressed(const QByteArray &, void *, NativeHotkey *) override { return false; }
    QString readAutostart(const QString &) const override { return QString(); }
    bool writeAutostart(const QString &, const QString &) override { return false; }
    bool removeAutostart(const QString &) override { return true; }
};

} // namespace

PlatformIntegration &PlatformIntegration::instance()
{
    static FallbackPlatform platform;
    return platform;
}
