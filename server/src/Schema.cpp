#include "Schema.h"

#include "Database.h"

namespace Schema {

// A waiting payment has no paid_at yet; confirm_at is when the customer's password "arrives" (NULL:
// it never does).
// The CHECK on refunded is the last guard against refunding more than was paid.
void create(sqlite3 *db)
{
    execute(db, R"sql(
CREATE TABLE IF NOT EXISTS merchants(
    id INTEGER PRIMARY KEY,
    username TEXT NOT NULL UNIQUE,
    salt TEXT NOT NULL,
    password_hash TEXT NOT NULL,
    userid TEXT NOT NULL,
    title TEXT NOT NULL,
    mchid TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS devices(
    id INTEGER PRIMARY KEY,
    merchant_id INTEGER NOT NULL REFERENCES merchants(id),
    name TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS orders(
    id INTEGER PRIMARY KEY,
    out_trade_no TEXT NOT NULL UNIQUE,
    transaction_id TEXT NOT NULL UNIQUE,
    merchant_id INTEGER NOT NULL REFERENCES merchants(id),
    device_id INTEGER NOT NULL REFERENCES devices(id),
    payt TEXT NOT NULL CHECK(payt IN ('Kesto', 'AliPay')),
    code TEXT UNIQUE,
    total_fee INTEGER NOT NULL CHECK(total_fee > 0),
    refunded INTEGER NOT NULL DEFAULT 0 CHECK(refunded >= 0 AND refunded <= total_fee),
    created_at INTEGER NOT NULL,
    confirm_at INTEGER,
    paid_at INTEGER);
CREATE INDEX IF NOT EXISTS orders_by_device_time ON orders(device_id, paid_at);
CREATE INDEX IF NOT EXISTS orders_waiting ON orders(confirm_at) WHERE paid_at IS NULL;
CREATE TABLE IF NOT EXISTS refunds(
    id INTEGER PRIMARY KEY,
    order_id INTEGER NOT NULL REFERENCES orders(id),
    amount INTEGER NOT NULL CHECK(amount > 0),
    refunded_at INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS refunds_by_order ON refunds(order_id);
CREATE INDEX IF NOT EXISTS refunds_by_time ON refunds(refunded_at);
)sql");
}

} // namespace Schema
