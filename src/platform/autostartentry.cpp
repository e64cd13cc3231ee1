#include "platform/autostartentry.h"

#include <QStringList>

namespace AutostartEntry {

QString execArgument(const QString &program)
{
    // Reserved characters oblige quoting; inside the quotes ", `, $ and \ take a backslash.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString argument;
    bool quote = false;
    for (const QChar c : program) {
        quote = quote || reserved.contains(c);
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            argument += QLatin1Char('\\');
        argument += c;
    }
    if (quote)
        argument = QLatin1Char('"') + argument + QLatin1Char('"');
    // Then the rules of every string value: backslashes and line breaks are escaped once more, and
    // a literal % is doubled so that it is not taken for a field code.
    QString value;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else if (c == QLatin1Char('%'))
            value += QStringLiteral("%%");
        else
            value += c;
    }
    return value;
}

QString desktopEntry(const QString &name, const QString &program)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Exec=%2\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(name, execArgument(program));
}

QString activeCommand(const QString &desktopEntryText)
{
    QString group;
    QString type;
    QString exec;
    bool off = false;
    const QStringList lines = desktopEntryText.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            group = line;
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (group != QLatin1String("[Desktop Entry]") || line.startsWith(QLatin1Char('#')) || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Type"))
            type = value;
        else if (key == QLatin1String("Exec"))
            exec = value;
        else if (key == QLatin1String("Hidden"))
            off = off || value == QLatin1String("true");
        else if (key == QLatin1String("X-GNOME-Autostart-enabled"))
            off = off || value == QLatin1String("false");
    }
    return off || type != QLatin1String("Application") ? QString() : exec;
}

} // namespace AutostartEntry
