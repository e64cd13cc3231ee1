// Writes one setting through the program's own settings path, reads it back, and prints the
// path it used, the value it read, the "server" entry it finds and whether the write was taken.
#include "shell/settingsstore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const SettingsStore store;
    const bool written = store.write(QStringLiteral("username"), QStringLiteral("alice"));
    const SettingsStore again;
    std::printf("%s\n%s\n%s\n%s\n", qPrintable(store.path()),
                qPrintable(again.read(QStringLiteral("username"))),
                qPrintable(again.read(QStringLiteral("server"))), written ? "written" : "refused");
    return 0;
}
