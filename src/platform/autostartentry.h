#pragma once

#include <QString>

// The texts of the autostart entries, kept apart from the files and the registry so that they can
// be tested on every build.
namespace AutostartEntry {

// The value under the Windows Run key: the program path with backslashes, quoted when it holds a
// blank (an unquoted path with blanks would start "C:\Program" with arguments).
QString runValue(const QString &program);

// An XDG autostart desktop entry that starts the program.
QString desktopEntry(const QString &name, const QString &program);
// The program as one argument of a desktop entry's Exec key, quoted where the format asks for it.
QString execArgument(const QString &program);
// The Exec value of an entry that a desktop session would start; empty for an entry that is
// hidden, switched off, or not an application entry.
QString activeCommand(const QString &desktopEntryText);

} // namespace AutostartEntry
