#pragma once

#include <QJsonObject>
#include <QStringList>
#include <QVector>

// One page of the records view as the service's reply describes it.
struct RecordsPage
{
    struct Row
    {
        int index;           // the record's key in the reply, which is also its table row
        QStringList cells;   // the eight columns, as shown
        QJsonObject receipt; // what a reprint of its receipt needs
    };

    int pageCount = 0;
    QString statistics;
    QVector<Row> rows; // in index order; records without an order number are left out
};

RecordsPage parseRecords(const QJsonObject &reply);
