#pragma once

struct sqlite3;

namespace Schema {

// Creates the tables when they are missing; an existing database is left as it is.
void create(sqlite3 *db);

} // namespace Schema
