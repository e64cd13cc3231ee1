#pragma once

#include <QtTest>

// The rows of a data-driven test from a table of structs that each have a `tag`: one column "row",
// which the test takes with QFETCH(Type, row). The struct needs Q_DECLARE_METATYPE.
template <typename Row, size_t N> void addRows(const Row (&rows)[N])
{
    QTest::addColumn<Row>("row");
    for (const Row &row : rows)
        QTest::newRow(row.tag) << row;
}

// One row of the current table, its values in the order of the columns.
template <typename... Values> void row(const char *tag, Values... values)
{
    (QTest::newRow(tag) << ... << values);
}
