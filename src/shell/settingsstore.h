#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// Reader and writer of the settings file "config.dat": one UTF-16 string in data-stream form
// holding "key=value" lines. Nothing is cached; every read parses the file afresh, so several
// stores on the same file always agree. It also carries the program's autostart entry.
class SettingsStore
{
public:
    SettingsStore();
    explicit SettingsStore(const QString &path);

    QString read(const QString &key) const;
    // Every entry, as read now; a key written twice gives its last value.
    QHash<QString, QString> entries() const;
    // False when the entry could not be stored. A file that exists but cannot be read is left
    // as it is: rewriting it would keep only this one entry. A damaged one (not decoding whole)
    // is first copied to the same name with ".damaged" added, replacing an older copy.
    bool write(const QString &key, const QString &value) const;

    // The entry that starts the program with the session: its command, empty when there is none.
    QString readAutostart(const QString &name) const;
    bool writeAutostart(const QString &name, const QString &program) const;
    bool removeAutostart(const QString &name) const;

    QString path() const { return m_Path; }

private:
    bool readText(QString *text, QByteArray *damaged = nullptr) const;
    bool writeText(const QString &text, const QByteArray &damaged) const;

    QString m_Path;
};

// The entries of a settings file as read at one moment. Work that needs several of them (a sale:
// the account, the service, the device, the printer) reads the file once and sees one state of it.
class SettingsSnapshot
{
public:
    SettingsSnapshot() = default;
    // Implicit: a helper given a store reads the file once for the call.
    SettingsSnapshot(const SettingsStore &store) : m_Entries(store.entries()) {}

    QString read(const QString &key) const { return m_Entries.value(key); }

private:
    QHash<QString, QString> m_Entries;
};
