#include "shell/settingsstore.h"

#include "shell/apppaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

const QChar lineBreak('\n');
const QChar separator('=');

// The key of a line is the text before its first "=" (the whole line when it has none).
QString keyOf(const QString &line)
{
    return line.section(separator, 0, 0);
}

QString decode(const QByteArray &data)
{
    if (data.size() < 4)
        return QString();
    const quint32 length = qFromBigEndian<quint32>(data.constData());
    // An odd length, or one that promises more than the file holds, marks a damaged file;
    // checking before allocating keeps a garbage length field from costing memory.
    if (length % 2 != 0 || length > quint32(data.size() - 4))
        return QString();
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

} // namespace

SettingsStore::SettingsStore() : m_Path(AppPaths::configFile()) {}

SettingsStore::SettingsStore(const QString &path) : m_Path(path) {}

QString SettingsStore::read(const QString &key) const
{
    QString value;
    const QStringList lines = readText().split(lineBreak);
    for (const QString &line : lines) {
        if (keyOf(line) == key)
            value = line.section(separator, 1);
    }
    return value;
}

void SettingsStore::write(const QString &key, const QString &value) const
{
    // A line break would end the entry early and turn the rest of the value into a key of its own.
    const QString entry = key + separator + QString(value).replace(lineBreak, QLatin1Char(' '));
    QStringList lines = readText().split(lineBreak);
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
    writeText(text);
}

QString SettingsStore::readText() const
{
    QFile file(m_Path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return decode(file.readAll());
}

void SettingsStore::writeText(const QString &text) const
{
    QDir().mkpath(QFileInfo(m_Path).absolutePath());
    // Written beside and renamed into place: a crash or a full disk leaves the old file intact.
    QSaveFile file(m_Path);
    // A writable file in a read-only folder (where the rename cannot happen) is written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return;
#ifdef Q_OS_UNIX
    // The file holds the account password.
    fchmod(file.handle(), S_IRUSR | S_IWUSR);
#endif
    file.write(encode(text));
    file.commit();
}
