#include "platform/keytables.h"

namespace {

constexpr int ModifierBits = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

// Rows shared by both tables: Qt key, Windows virtual key, X11 keysym. "*", "+", ",", "-" and "/"
// are the keypad keys, as Windows takes them.
struct KeyRow
{
    int qt;
    quint32 windows;
    quint32 x11;
};

constexpr KeyRow Rows[] = {
    {Qt::Key_Space, 0x20, 0x0020},     {Qt::Key_Asterisk, 0x6A, 0xFFAA}, {Qt::Key_Plus, 0x6B, 0xFFAB},
    {Qt::Key_Comma, 0x6C, 0xFFAC},     {Qt::Key_Minus, 0x6D, 0xFFAD},    {Qt::Key_Slash, 0x6F, 0xFFAF},
    {Qt::Key_Escape, 0x1B, 0xFF1B},    {Qt::Key_Tab, 0x09, 0xFF09},      {Qt::Key_Backtab, 0x09, 0xFF09},
    {Qt::Key_Backspace, 0x08, 0xFF08}, {Qt::Key_Return, 0x0D, 0xFF0D},   {Qt::Key_Enter, 0x0D, 0xFF0D},
    {Qt::Key_Insert, 0x2D, 0xFF63},    {Qt::Key_Delete, 0x2E, 0xFFFF},   {Qt::Key_Pause, 0x13, 0xFF13},
    {Qt::Key_Print, 0x2A, 0xFF61},     {Qt::Key_Clear, 0x0C, 0xFF0B},    {Qt::Key_Home, 0x24, 0xFF50},
    {Qt::Key_End, 0x23, 0xFF57},       {Qt::Key_Left, 0x25, 0xFF51},     {Qt::Key_Up, 0x26, 0xFF52},
    {Qt::Key_Right, 0x27, 0xFF53},     {Qt::Key_Down, 0x28, 0xFF54},     {Qt::Key_PageUp, 0x21, 0xFF55},
    {Qt::Key_PageDown, 0x22, 0xFF56},
};

const KeyRow *findRow(int qtKey)
{
    for (const KeyRow &row : Rows) {
        if (row.qt == qtKey)
            return &row;
    }
    return nullptr;
}

} // namespace

HotkeyChord firstChord(const QKeySequence &sequence)
{
    HotkeyChord chord;
    if (sequence.isEmpty())
        return chord;
    chord.key = sequence[0] & ~ModifierBits;
    chord.modifiers = Qt::KeyboardModifiers(sequence[0] & ModifierBits);
    return chord;
}

quint32 windowsVirtualKey(int qtKey)
{
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return quint32(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return quint32(0x70 + qtKey - Qt::Key_F1);
    const KeyRow *row = findRow(qtKey);
    return row ? row->windows : 0;
}

quint32 windowsModifiers(Qt::KeyboardModifiers modifiers)
{
    quint32 native = 0;
    if (modifiers & Qt::AltModifier)
        native |= 0x1;
    if (modifiers & Qt::ControlModifier)
        native |= 0x2;
    if (modifiers & Qt::ShiftModifier)
        native |= 0x4;
    if (modifiers & Qt::MetaModifier)
        native |= 0x8;
    return native;
}

quint32 x11Keysym(int qtKey)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return quint32(qtKey);
    // Letters are grabbed by their unshifted keysym; Shift is a modifier of its own.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return quint32(qtKey - Qt::Key_A + 'a');
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return quint32(0xFFBE + qtKey - Qt::Key_F1);
    const KeyRow *row = findRow(qtKey);
    return row ? row->x11 : 0;
}

quint32 x11Modifiers(Qt::KeyboardModifiers modifiers)
{
    quint32 native = 0;
    if (modifiers & Qt::ShiftModifier)
        native |= 0x01;
    if (modifiers & Qt::ControlModifier)
        native |= 0x04;
    if (modifiers & Qt::AltModifier)
        native |= 0x08;
    if (modifiers & Qt::MetaModifier)
        native |= 0x40;
    return native;
}
