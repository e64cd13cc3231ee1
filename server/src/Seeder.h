#pragma once

#include <QString>

struct sqlite3;

// Fills a fresh database with the demo account and a month of history, so that the records view,
// the refund window and every test have something to work on.
namespace Seeder {

inline const QString demoUsername = QStringLiteral("demo");
inline const QString demoPassword = QStringLiteral("demo123");

// Seeds only when there is no merchant yet; returns whether it did. The content is the same on
// every run (fixed pseudo-random seed); dates are the 30 days before the day of `now` and that
// day itself up to `now`. The demo password is hashed with `passwordRounds`.
bool seedIfEmpty(sqlite3 *db, qint64 now, int passwordRounds);

} // namespace Seeder
