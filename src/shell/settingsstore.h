#pragma once

#include <QString>

// Reader and writer of the settings file "config.dat": one UTF-16 string in data-stream form
// holding "key=value" lines. Nothing is cached; every read parses the file afresh, so several
// stores on the same file always agree.
class SettingsStore
{
public:
    SettingsStore();
    explicit SettingsStore(const QString &path);

    QString read(const QString &key) const;
    void write(const QString &key, const QString &value) const;

    QString path() const { return m_Path; }

private:
    QString readText() const;
    void writeText(const QString &text) const;

    QString m_Path;
};
