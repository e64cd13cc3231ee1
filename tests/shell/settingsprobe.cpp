// Writes a setting through the program's own settings path and prints the path, the value read
// back, the "server" entry and whether the write was taken.
#include "shell/settingsstore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool written = SettingsStore().write("username", "alice");
    const SettingsStore again;
    std::printf("%s\n%s\n%s\n%s\n", qPrintable(again.path()), qPrintable(again.read("username")),
                qPrintable(again.read("server")), written ? "written" : "refused");
}
