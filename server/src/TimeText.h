#pragma once

#include <QDate>
#include <QString>

// The service's time texts: 14-digit local times out, calendar days in.
namespace TimeText {

// Milliseconds since the epoch as local "yyyyMMddHHmmss".
QString stamp(qint64 msecs);

// A day as the client's date editors show it: "yyyy/M/d" or "yyyy-MM-dd" (one separator kind).
// Returns an invalid date for anything else.
QDate parseDay(const QString &text);

// First and one-past-last millisecond of a local calendar day.
qint64 dayStart(const QDate &day);
qint64 dayEnd(const QDate &day);

} // namespace TimeText
