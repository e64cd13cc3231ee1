#include "platform/autostartentry.h"
#include "platform/keytables.h"
#include "platform/linux/x11hotkeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextDocument>
#include <QX11Info>

#include <unistd.h>

namespace {

// Hotkeys on X11; autostart as an XDG desktop entry in the user's autostart folder (a cashier
// does not run the till as root, so there is no machine-wide entry).
class LinuxPlatform : public PlatformIntegration
{
public:
    NativeHotkey nativeHotkey(int qtKey, Qt::KeyboardModifiers modifiers) const override
    {
        return {x11Keysym(qtKey), x11Modifiers(modifiers)};
    }
    Grab grabHotkey(const NativeHotkey &hotkey) override { return m_Hotkeys.grab(hotkey); }
    bool releaseHotkey(const NativeHotkey &hotkey) override { return m_Hotkeys.release(hotkey); }
    bool hotkeyPressed(const QByteArray &eventType, void *message, NativeHotkey *pressed) override
    {
        return m_Hotkeys.pressed(eventType, message, pressed);
    }

    QString readAutostart(const QString &name) const override
    {
        QFile file(entryPath(name));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return AutostartEntry::activeCommand(QString::fromUtf8(file.readAll()));
    }
    bool writeAutostart(const QString &name, const QString &program) override
    {
        const QString path = entryPath(name);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            return false;
        QSaveFile file(path);
        return file.open(QIODevice::WriteOnly) &&
               file.write(AutostartEntry::desktopEntry(name, program).toUtf8()) >= 0 && file.commit();
    }
    bool removeAutostart(const QString &name) override
    {
        const QString path = entryPath(name);
        return !QFile::exists(path) || QFile::remove(path);
    }

    // System V keys and the socket in /tmp are shared by every user: two cashiers of one till each
    // run their own program.
    QString instanceName(const QString &name) const override
    {
        return name + QLatin1Char('-') + QString::number(getuid());
    }

    void noteUserAction() override
    {
        if (QX11Info::isPlatformX11())
            QX11Info::setAppUserTime(QX11Info::getTimestamp());
    }

    // In an X11 notification area Qt draws the tray tooltip itself, as a tooltip that takes text
    // which looks like markup for rich text; escaped, such text shows as typed. (The balloon's
    // title is plain text.)
    QString trayToolTip(const QString &text) const override
    {
        return Qt::mightBeRichText(text) ? text.toHtmlEscaped() : text;
    }

private:
    static QString entryPath(const QString &name)
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/autostart/") + name + QStringLiteral(".desktop");
    }

    X11Hotkeys m_Hotkeys;
};

} // namespace

PlatformIntegration &PlatformIntegration::instance()
{
    // Never destroyed: its grabs and event filter belong to the X connection, which is gone by
    // the time static objects are torn down.
    static PlatformIntegration *platform = new LinuxPlatform;
    return *platform;
}
