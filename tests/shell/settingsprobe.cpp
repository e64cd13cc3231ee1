// Writes one setting through the program's own settings path, reads it back, and prints the
// path it used and the value it read.
#include "shell/settingsstore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const SettingsStore store;
    store.write(QStringLiteral("username"), QStringLiteral("alice"));
    std::printf("%s\n%s\n", qPrintable(store.path()),
                qPrintable(SettingsStore().read(QStringLiteral("username"))));
    return 0;
}
