#pragma once

#include <QKeySequence>
#include <Qt>

// Pure key tables, the same on every build so that they can be tested anywhere. Both platforms
// know exactly the same keys: a key that one of them lacks is refused on both.

struct HotkeyChord
{
    int key = 0; // Qt key code without the modifier bits; 0 for an empty sequence
    Qt::KeyboardModifiers modifiers;
};

// A global hotkey is a single chord: of "Ctrl+K, Ctrl+C" only Ctrl+K counts. The keypad bit is no
// modifier here; it stays in the key, which then matches no table row.
HotkeyChord firstChord(const QKeySequence &sequence);

// Windows virtual-key code of a Qt key, 0 for a key outside the table.
quint32 windowsVirtualKey(int qtKey);
// MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8.
quint32 windowsModifiers(Qt::KeyboardModifiers modifiers);

// X11 keysym of a Qt key, 0 for a key outside the table.
quint32 x11Keysym(int qtKey);
// ShiftMask, ControlMask, Mod1Mask (Alt), Mod4Mask (Super).
quint32 x11Modifiers(Qt::KeyboardModifiers modifiers);
