#pragma once

#include <QString>

// The texts of the desktop's autostart entry, kept apart from the files so that they can be tested
// on every build.
namespace AutostartEntry {

// An XDG autostart desktop entry that starts the program.
QString desktopEntry(const QString &name, const QString &program);
// The program as one argument of a desktop entry's Exec key, quoted where the format asks for it.
QString execArgument(const QString &program);
// The Exec value of an entry that a desktop session would start; empty for an entry that is
// hidden, switched off, or not an application entry.
QString activeCommand(const QString &desktopEntryText);

} // namespace AutostartEntry
