#include "Database.h"

#include <sqlite3.h>

namespace {

[[noreturn]] void fail(sqlite3 *db, const char *what)
{
    throw DatabaseError(std::string(what) + ": " + sqlite3_errmsg(db));
}

} // namespace

Statement::Statement(sqlite3 *db, const char *sql) : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
        fail(db, "prepare");
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement &Statement::bind(int index, qint64 value)
{
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK)
        fail(m_db, "bind");
    return *this;
}

Statement &Statement::bind(int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    if (sqlite3_bind_text(m_stmt, index, utf8.constData(), utf8.size(), SQLITE_TRANSIENT) != SQLITE_OK)
        fail(m_db, "bind");
    return *this;
}

Statement &Statement::bindNull(int index)
{
    if (sqlite3_bind_null(m_stmt, index) != SQLITE_OK)
        fail(m_db, "bind");
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(m_db, "step");
}

void Statement::run()
{
    while (step()) {
    }
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QString Statement::text(int column) const
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(m_stmt, column));
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

Database::Database(const QString &path)
{
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr) != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw DatabaseError("cannot open " + path.toStdString() + ": " + message);
    }
    sqlite3_busy_timeout(m_db, 5000);
    // The pragma answers the mode it got, which is not WAL where the file system cannot share memory.
    QString mode;
    {
        Statement journal(m_db, "PRAGMA journal_mode=WAL");
        mode = journal.step() ? journal.text(0) : QString();
    }
    // Finalised above: the connection cannot be closed while a statement is open.
    if (mode != QLatin1String("wal") &&
        !(path == QLatin1String(":memory:") && mode == QLatin1String("memory"))) {
        sqlite3_close(m_db);
        throw DatabaseError("cannot use " + path.toStdString() + " in WAL mode (journal mode " +
                            mode.toStdString() + ")");
    }
    // A payment answered as paid must survive a power cut, not only a killed process.
    exec("PRAGMA synchronous=FULL");
    exec("PRAGMA foreign_keys=ON");
}

Database::~Database()
{
    sqlite3_close(m_db);
}

void Database::exec(const char *sql)
{
    execute(m_db, sql);
}

void Database::rollback() noexcept
{
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void execute(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw DatabaseError(std::string(sql) + ": " + message);
    }
}
