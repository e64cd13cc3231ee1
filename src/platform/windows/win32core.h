#pragma once

#include <string>

// The Win32 calls of the platform layer in plain C++, without Qt, so that a Windows test program
// can run them for real; WindowsPlatform only converts to and from them.
namespace Win32 {

enum class HotkeyGrab { Done, Taken, Failed };

// A system-wide hotkey of the calling thread: WM_HOTKEY goes to its message queue.
HotkeyGrab registerHotkey(unsigned virtualKey, unsigned modifiers);
bool unregisterHotkey(unsigned virtualKey, unsigned modifiers);
// Whether a message (a MSG) is a WM_HOTKEY, and the combination it reports.
bool hotkeyMessage(const void *message, unsigned *virtualKey, unsigned *modifiers);

// The string value of the machine-wide Run key by that name; empty when it or the key is missing.
std::wstring readRunValue(const std::wstring &name);

// Autostart as a log-on task of the Task Scheduler: a Run value does not start a program that
// asks for administrator rights while User Account Control is on. Reading gives the program the
// task starts when it is this one, else empty; writing also removes a Run value of the same name
// that started this program (left by an earlier version); removing removes both.
std::wstring readAutostart(const std::wstring &name, const std::wstring &program);
bool writeAutostart(const std::wstring &name, const std::wstring &program);
bool removeAutostart(const std::wstring &name, const std::wstring &program);

// The path of a file in the running program's own folder; empty when that cannot be known.
std::wstring besideProgram(const std::wstring &fileName);

// Starts the program of that file name in the running program's own folder, by its absolute
// path, detached; false when it is not there. Never by its bare name, which Windows would also
// look for in the working directory and on PATH.
bool startBeside(const std::wstring &fileName);

// Lets the running instance, which a second start hands over to, take the foreground.
void allowForeground();

} // namespace Win32
