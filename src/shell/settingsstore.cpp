#include "shell/settingsstore.h"

#include "platform/platformintegration.h"
#include "shell/apppaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QtEndian>

namespace {

const QChar lineBreak('\n');
const QChar separator('=');

// The key of a line is the text before its first "=" (the whole line when it has none).
QString keyOf(const QString &line)
{
    return line.section(separator, 0, 0);
}

// The file as the program writes it is one string and nothing else; `whole` tells whether it was
// (a file cut short by a power loss, or with bytes left over, is not).
QString decode(const QByteArray &data, bool *whole)
{
    *whole = data.isEmpty();
    if (data.size() < 4)
        return QString();
    const quint32 length = qFromBigEndian<quint32>(data.constData());
    // An odd length, or one that promises more than the file holds, marks a damaged file;
    // checking before allocating keeps a garbage length field from costing memory.
    if (length % 2 != 0 || length > quint32(data.size() - 4))
        return QString();
    *whole = length == quint32(data.size() - 4);
    QString text(int(length / 2), Qt::Uninitialized);
    const uchar *units = reinterpret_cast<const uchar *>(data.constData()) + 4;
    for (int i = 0; i < text.size(); ++i)
        text[i] = QChar(ushort(units[2 * i] << 8 | units[2 * i + 1]));
    return text;
}

QByteArray encode(const QString &text)
{
    QByteArray data(4 + 2 * text.size(), Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(2 * text.size()), data.data());
    uchar *units = reinterpret_cast<uchar *>(data.data()) + 4;
    for (int i = 0; i < text.size(); ++i) {
        const ushort unit = text.at(i).unicode();
        units[2 * i] = uchar(unit >> 8);
        units[2 * i + 1] = uchar(unit & 0xFF);
    }
    return data;
}

// Written beside and renamed into place: a crash or a full disk leaves the old file intact.
bool saveFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    // A writable file in a read-only folder (where the rename cannot happen) is written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The file holds the account password.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return file.write(bytes) >= 0 && file.commit();
}

} // namespace

SettingsStore::SettingsStore() : m_Path(AppPaths::configFile()) {}

SettingsStore::SettingsStore(const QString &path) : m_Path(path) {}

QString SettingsStore::read(const QString &key) const
{
    return entries().value(key);
}

QHash<QString, QString> SettingsStore::entries() const
{
    QString text;
    readText(&text);
    QHash<QString, QString> entries;
    const QStringList lines = text.split(lineBreak);
    for (const QString &line : lines)
        entries.insert(keyOf(line), line.section(separator, 1));
    return entries;
}

bool SettingsStore::write(const QString &key, const QString &value) const
{
    // A line break would end the entry early and turn the rest of the value into a key of its own.
    const QString entry = key + separator + QString(value).replace(lineBreak, QLatin1Char(' '));
    QString current;
    QByteArray damaged;
    if (!readText(&current, &damaged))
        return false;
    QStringList lines = current.split(lineBreak);
    bool found = false;
    for (QString &line : lines) {
        if (keyOf(line) == key) {
            line = entry;
            found = true;
        }
    }
    QString text = lines.join(lineBreak);
    if (!found)
        text += lineBreak + entry;
    return writeText(text, damaged);
}

QString SettingsStore::readAutostart(const QString &name) const
{
    return PlatformIntegration::instance().readAutostart(name);
}

bool SettingsStore::writeAutostart(const QString &name, const QString &program) const
{
    return PlatformIntegration::instance().writeAutostart(name, program);
}

bool SettingsStore::removeAutostart(const QString &name) const
{
    return PlatformIntegration::instance().removeAutostart(name);
}

// False only for a file that is there but cannot be opened; a missing file reads as empty text.
// The bytes of a file that does not decode whole go to `damaged`, when asked for.
bool SettingsStore::readText(QString *text, QByteArray *damaged) const
{
    text->clear();
    QFile file(m_Path);
    if (!file.open(QIODevice::ReadOnly))
        return !file.exists();
    const QByteArray bytes = file.readAll();
    bool whole = true;
    *text = decode(bytes, &whole);
    if (!whole && damaged)
        *damaged = bytes;
    return true;
}

// A file that does not decode whole (cut short by a power loss, say) may hold entries that the new
// text lacks: its bytes are kept beside it, as "config.dat.damaged", for recovery by hand before it
// is replaced. Where they cannot be kept, it is not replaced either.
bool SettingsStore::writeText(const QString &text, const QByteArray &damaged) const
{
    if (!damaged.isEmpty() && !saveFile(m_Path + QStringLiteral(".damaged"), damaged))
        return false;
    return saveFile(m_Path, encode(text));
}
