#pragma once

#include <QProcess>
#include <QString>

// The first value an SQL query gives on an SQLite file (the service's or the till's), as text.
inline QString valueOf(const QString &database, const QString &sql)
{
    QProcess sqlite;
    sqlite.start("sqlite3", {database, sql});
    sqlite.waitForFinished();
    return QString::fromUtf8(sqlite.readAllStandardOutput()).section('\n', 0, 0);
}
