#pragma once

#include <string>

// The decisions of the Windows platform code that need no Windows: they build and are tested on
// every platform, while the calls that act on them run only on Windows (see win32core.h).
namespace WinRules {

// RegisterHotKey id: one per (key, modifiers) pair, within the range left to applications.
int hotkeyId(unsigned virtualKey, unsigned modifiers);
// The modifiers passed to RegisterHotKey: a held key fires once, not on every repeat.
unsigned registrationModifiers(unsigned modifiers);
// The registry view to ask for: a 32-bit process on 64-bit Windows must name the 64-bit view, or
// its values land in the redirected copy that the system never reads.
unsigned long registryView(bool wow64Process);

// The Task Scheduler definition that starts the program at every user's log-on, elevated where
// the user may be.
std::wstring logonTaskXml(const std::wstring &program);
// Whether a command (as a Run value or a task holds it) starts the program: quotes and the case
// of the path do not count.
bool startsProgram(const std::wstring &command, const std::wstring &program);

} // namespace WinRules
