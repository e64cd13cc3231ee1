// The config.dat reader on any bytes: storing one entry must read back as stored (its line break
// made a space) and leave every other entry as it read before.

#include "shell/settingsstore.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("config.dat")));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) < 0)
        abort();
    file.close();
    const SettingsStore store(file.fileName());
    const auto others = [&store] {
        QStringList values;
        for (const char *key : {"username", "password", "server", "printname", ""})
            values << store.read(QString::fromLatin1(key));
        return values;
    };
    const QStringList before = others();
    store.write(QStringLiteral("device"), QStringLiteral("2_收银台2\nprintname=x"));
    if (store.read(QStringLiteral("device")) != QStringLiteral("2_收银台2 printname=x") || others() != before)
        abort();
    return 0;
}
