#include "shell/myglobalshortcut.h"

#include "platform/keytables.h"

#include <QCoreApplication>

MyWinEventFilter::MyWinEventFilter(MyGlobalShortCut *owner) : m_Owner(owner) {}

bool MyWinEventFilter::nativeEventFilter(const QByteArray &eventType, void *message, long *)
{
    NativeHotkey pressed;
    if (!PlatformIntegration::instance().hotkeyPressed(eventType, message, &pressed))
        return false;
    if (pressed.key == 0)
        return true;
    if (!m_Owner->m_Table.contains(pressed))
        return false;
    emit m_Owner->activated();
    return true;
}

MyGlobalShortCut::MyGlobalShortCut(QObject *parent) : QObject(parent), m_Filter(new MyWinEventFilter(this))
{
    QCoreApplication::instance()->installNativeEventFilter(m_Filter);
}

MyGlobalShortCut::~MyGlobalShortCut()
{
    unsetShortcut();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(m_Filter);
    delete m_Filter;
}

namespace {

NativeHotkey combination(const QString &key)
{
    const HotkeyChord chord = firstChord(QKeySequence::fromString(key, QKeySequence::PortableText));
    return PlatformIntegration::instance().nativeHotkey(chord.key, chord.modifiers);
}

// A key without Ctrl, Alt or Meta would take the scanner's characters, Return or Escape from every
// program; F1 to F11 alone are safe (no scanner types them; F12 confirms a payment). The pay
// window's own keys would never reach it. Registered means nothing stands against the key.
MyGlobalShortCut::Outcome refusal(const HotkeyChord &chord)
{
    const bool functionKey =
        chord.key >= Qt::Key_F1 && chord.key <= Qt::Key_F11 && chord.modifiers == Qt::NoModifier;
    if (!functionKey && !(chord.modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return MyGlobalShortCut::NoModifier;
    if (chord.modifiers == Qt::ControlModifier &&
        (chord.key == Qt::Key_W || chord.key == Qt::Key_S || chord.key == Qt::Key_P))
        return MyGlobalShortCut::PayWindowKey;
    return MyGlobalShortCut::Registered;
}

} // namespace

bool MyGlobalShortCut::sameCombination(const QString &first, const QString &second)
{
    const NativeHotkey a = combination(first);
    return a.key != 0 && a == combination(second);
}

MyGlobalShortCut::Outcome MyGlobalShortCut::setShortcut(const QString &key)
{
    unsetShortcut();
    m_Key = QKeySequence::fromString(key, QKeySequence::PortableText);
    const HotkeyChord chord = firstChord(m_Key);
    if (chord.key == 0)
        return Cleared;
    const Outcome refused = refusal(chord);
    if (refused != Registered)
        return refused;
    PlatformIntegration &platform = PlatformIntegration::instance();
    const NativeHotkey hotkey = platform.nativeHotkey(chord.key, chord.modifiers);
    if (hotkey.key == 0)
        return Unsupported;
    switch (platform.grabHotkey(hotkey)) {
    case PlatformIntegration::Grab::Done:
        m_Table.insert(hotkey);
        return Registered;
    case PlatformIntegration::Grab::Taken:
        return Taken;
    case PlatformIntegration::Grab::Unsupported:
        break;
    }
    return Unsupported;
}

bool MyGlobalShortCut::unsetShortcut()
{
    bool released = !m_Table.isEmpty();
    for (const NativeHotkey &hotkey : qAsConst(m_Table))
        released = PlatformIntegration::instance().releaseHotkey(hotkey) && released;
    m_Table.clear();
    return released;
}
