#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

// The first value an SQL query gives on an SQLite file (the service's or the till's), as text.
inline QString valueOf(const QString &database, const QString &sql)
{
    QSqlDatabase db = QSqlDatabase::contains("check") ? QSqlDatabase::database("check", false)
                                                      : QSqlDatabase::addDatabase("QSQLITE", "check");
    db.setDatabaseName(database);
    db.open();
    QSqlQuery query(db);
    query.exec(sql);
    const QString value = query.next() ? query.value(0).toString() : QString();
    query.finish();
    db.close();
    return value;
}
