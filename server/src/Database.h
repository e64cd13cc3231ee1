#pragma once

#include <QString>
#include <mutex>
#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

class DatabaseError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Runs fixed SQL without parameters (schema, pragmas, transaction control).
void execute(sqlite3 *db, const char *sql);

// One prepared statement with bound parameters; values never enter the SQL text.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int index, qint64 value);
    Statement &bind(int index, const QString &value);
    Statement &bindNull(int index);

    // Advances to the next row; false when the statement is done.
    bool step();
    // Runs a statement that yields no rows.
    void run();

    qint64 integer(int column) const;
    QString text(int column) const;
    bool isNull(int column) const;

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

// The single SQLite connection. Every use goes through read() or write(), which hold one mutex, so
// requests on the server's worker threads never interleave inside a transaction; write() also takes
// SQLite's write lock up front (BEGIN IMMEDIATE) in case another process opened the same file.
class Database
{
public:
    explicit Database(const QString &path);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    template <typename Work> auto read(Work work) { return inTransaction("BEGIN", work); }
    template <typename Work> auto write(Work work) { return inTransaction("BEGIN IMMEDIATE", work); }

private:
    template <typename Work> auto inTransaction(const char *begin, Work work)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        exec(begin);
        try {
            auto result = work(m_db);
            exec("COMMIT");
            return result;
        } catch (...) {
            rollback();
            throw;
        }
    }
    void exec(const char *sql);
    void rollback() noexcept;

    sqlite3 *m_db = nullptr;
    std::mutex m_mutex;
};
