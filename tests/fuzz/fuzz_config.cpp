// The config.dat reader: any bytes as the settings file. Whatever the file holds, storing one
// entry must read back as stored (its line break made a space) and leave every other entry as
// it read before.

#include "shell/settingsstore.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir *folder = nullptr;

void check(bool holds, const char *what)
{
    if (!holds) {
        fprintf(stderr, "config.dat: %s\n", what);
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = folder->filePath(QStringLiteral("config.dat"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    const SettingsStore store(path);
    const QStringList others{QStringLiteral("username"), QStringLiteral("password"), QStringLiteral("server"),
                             QStringLiteral("printname"), QString()};
    QStringList before;
    for (const QString &key : others)
        before << store.read(key);

    const QString device = QStringLiteral("2_收银台2\nprintname=x");
    store.write(QStringLiteral("device"), device);
    check(store.read(QStringLiteral("device")) == QStringLiteral("2_收银台2 printname=x"),
          "entry not read back");
    for (int i = 0; i < others.size(); ++i)
        check(store.read(others.at(i)) == before.at(i), "another entry changed");
    return 0;
}
