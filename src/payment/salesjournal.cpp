#include "payment/salesjournal.h"

#include "shell/apppaths.h"
#include "shell/settingsstore.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <iterator>

namespace {

const char *const Schema[] = {
    "PRAGMA journal_mode=WAL",
    // With WAL a commit survives the program being killed; only a power cut may lose the last ones.
    "PRAGMA synchronous=NORMAL",
    "CREATE TABLE IF NOT EXISTS entries(id INTEGER PRIMARY KEY, kind TEXT NOT NULL, time TEXT NOT NULL,"
    " channel TEXT NOT NULL, fen INTEGER NOT NULL, device TEXT NOT NULL, code TEXT NOT NULL,"
    " trade_no TEXT NOT NULL, outcome TEXT NOT NULL, message TEXT NOT NULL DEFAULT '',"
    " call TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX IF NOT EXISTS entries_by_trade ON entries(trade_no)",
    "CREATE INDEX IF NOT EXISTS entries_by_time ON entries(time)",
    "CREATE TABLE IF NOT EXISTS shifts(started TEXT NOT NULL)",
};

// Columns added after the first journals were written, one per user_version step.
const char *const Upgrades[] = {
    "ALTER TABLE entries ADD COLUMN seen INTEGER NOT NULL DEFAULT 0",
};

QString outcomeText(SalesJournal::Outcome outcome)
{
    switch (outcome) {
    case SalesJournal::Outcome::Paid:
        return QStringLiteral("paid");
    case SalesJournal::Outcome::Waiting:
        return QStringLiteral("waiting");
    case SalesJournal::Outcome::Failed:
        return QStringLiteral("failed");
    case SalesJournal::Outcome::Refunded:
        return QStringLiteral("refunded");
    case SalesJournal::Outcome::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

// Sorts as it reads, to the millisecond, so that a shift's start compares with the rows' times.
QString timeText(const QDateTime &time)
{
    return time.toString(Qt::ISODateWithMs);
}

// A null text would be bound as NULL.
QString bound(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

SalesJournal::SalesJournal()
{
    static QAtomicInteger<int> instances;
    m_Connection = QStringLiteral("journal%1").arg(++instances);
}

SalesJournal::~SalesJournal()
{
    m_Insert = m_UpdateRow = m_UpdateTrade = QSqlQuery();
    if (m_Opened)
        QSqlDatabase::database(m_Connection, false).close();
    QSqlDatabase::removeDatabase(m_Connection);
}

QString SalesJournal::defaultPath()
{
    if (SettingsStore().read(QStringLiteral("journal")) == QLatin1String("0"))
        return QString();
    return QFileInfo(AppPaths::configFile()).absolutePath() + QStringLiteral("/journal.db");
}

QString SalesJournal::masked(const QString &code)
{
    if (code.size() <= 8)
        return QString(code.size(), QLatin1Char('*'));
    return code.left(4) + QString(code.size() - 8, QLatin1Char('*')) + code.right(4);
}

// Not at construction: the program's start does not wait for the file.
bool SalesJournal::open()
{
    if (m_Opened || m_Broken)
        return m_Opened;
    const QString path = defaultPath();
    if (path.isEmpty())
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_Connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));
    if (!db.open()) {
        m_Broken = true;
        return false;
    }
    QSqlQuery query(db);
    bool ready = true;
    for (const char *statement : Schema)
        ready = ready && query.exec(QLatin1String(statement));
    const int version = ready && query.exec(QStringLiteral("PRAGMA user_version")) && query.next()
                            ? query.value(0).toInt()
                            : int(std::size(Upgrades));
    for (int step = version; ready && step < int(std::size(Upgrades)); ++step)
        ready = query.exec(QLatin1String(Upgrades[step])) &&
                query.exec(QStringLiteral("PRAGMA user_version = %1").arg(step + 1));
    if (!ready) {
        db.close();
        m_Broken = true;
        return false;
    }
    m_Insert = QSqlQuery(db);
    m_UpdateRow = QSqlQuery(db);
    m_UpdateTrade = QSqlQuery(db);
    // The order number arrives with the first reply; a reply without one keeps what is known. A
    // paid sale stays paid, whatever a later or older answer says.
    const QString update = QStringLiteral("UPDATE entries SET outcome = ?, message = ?,"
                                          " trade_no = CASE WHEN ? = '' THEN trade_no ELSE ? END,"
                                          " call = CASE WHEN ? = 'paid' THEN ? ELSE call END"
                                          " WHERE outcome != 'paid' AND ");
    if (!m_Insert.prepare(
            QStringLiteral("INSERT INTO entries(kind, time, channel, fen, device, code, trade_no,"
                           " outcome) VALUES(?, ?, ?, ?, ?, ?, ?, 'unknown')")) ||
        !m_UpdateRow.prepare(update + QStringLiteral("id = ?")) ||
        !m_UpdateTrade.prepare(update + QStringLiteral("trade_no = ? AND kind = 'sale'"))) {
        m_Broken = true;
        return false;
    }
    m_Opened = true;
    return true;
}

bool SalesJournal::takeFailure()
{
    if (!m_Broken || m_FailureTold)
        return false;
    m_FailureTold = true;
    return true;
}

qint64 SalesJournal::begin(const Entry &entry)
{
    if (!open())
        return 0;
    m_Insert.addBindValue(entry.kind == Kind::Sale ? QStringLiteral("sale") : QStringLiteral("refund"));
    m_Insert.addBindValue(timeText(QDateTime::currentDateTime()));
    m_Insert.addBindValue(bound(entry.channel));
    m_Insert.addBindValue(entry.fen);
    m_Insert.addBindValue(bound(entry.device));
    m_Insert.addBindValue(bound(masked(entry.code)));
    m_Insert.addBindValue(bound(entry.tradeNo));
    if (!m_Insert.exec()) {
        m_Broken = true;
        return 0;
    }
    return m_Insert.lastInsertId().toLongLong();
}

void SalesJournal::complete(qint64 row, Outcome outcome, const QString &message, const QJsonObject &call)
{
    if (row != 0 && open())
        update(m_UpdateRow, row, outcome, message, call);
}

void SalesJournal::completeTrade(const QString &tradeNo, Outcome outcome, const QString &message,
                                 const QJsonObject &call)
{
    if (!tradeNo.isEmpty() && open())
        update(m_UpdateTrade, tradeNo, outcome, message, call);
}

void SalesJournal::update(QSqlQuery &statement, const QVariant &key, Outcome outcome, const QString &message,
                          const QJsonObject &call)
{
    const QString outcomeName = outcomeText(outcome);
    const QString trade = bound(call.value(QStringLiteral("out_trade_no")).toString());
    statement.addBindValue(outcomeName);
    statement.addBindValue(bound(message));
    statement.addBindValue(trade);
    statement.addBindValue(trade);
    statement.addBindValue(outcomeName);
    statement.addBindValue(QString::fromUtf8(QJsonDocument(call).toJson(QJsonDocument::Compact)));
    statement.addBindValue(key);
    if (!statement.exec())
        m_Broken = true;
}

QJsonObject SalesJournal::paidCall(const QString &tradeNo)
{
    return paidCallWhere(QStringLiteral("AND trade_no = ?"), {tradeNo});
}

QJsonObject SalesJournal::lastPaidCall()
{
    return paidCallWhere(QString(), {});
}

QJsonObject SalesJournal::paidCallWhere(const QString &where, const QVariantList &values)
{
    if (!open())
        return {};
    QSqlQuery query(QSqlDatabase::database(m_Connection, false));
    query.prepare(QStringLiteral("SELECT call FROM entries WHERE kind = 'sale' AND outcome = 'paid' ") +
                  where + QStringLiteral(" ORDER BY id DESC LIMIT 1"));
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec() || !query.next())
        return {};
    return QJsonDocument::fromJson(query.value(0).toString().toUtf8()).object();
}

SalesJournal::OrderRefunds SalesJournal::refundsOf(const QString &orderNo)
{
    OrderRefunds result;
    if (!open())
        return result;
    QSqlQuery query(QSqlDatabase::database(m_Connection, false));
    query.prepare(
        QStringLiteral("SELECT outcome, SUM(fen), MIN(seen) FROM entries WHERE kind = 'refund'"
                       " AND trade_no = ? AND outcome IN ('refunded', 'unknown') GROUP BY outcome"));
    query.addBindValue(orderNo);
    query.exec();
    while (query.next()) {
        if (query.value(0).toString() == QLatin1String("refunded")) {
            result.refundedFen = query.value(1).toLongLong();
        } else {
            result.unknownFen = query.value(1).toLongLong();
            result.unknownUnseen = query.value(2).toInt() == 0;
        }
    }
    return result;
}

void SalesJournal::markUnknownSeen(const QString &orderNo)
{
    if (!open())
        return;
    QSqlQuery query(QSqlDatabase::database(m_Connection, false));
    query.prepare(QStringLiteral(
        "UPDATE entries SET seen = 1 WHERE kind = 'refund' AND trade_no = ? AND outcome = 'unknown'"));
    query.addBindValue(orderNo);
    if (!query.exec())
        m_Broken = true;
}

ShiftSummary SalesJournal::summary()
{
    ShiftSummary result;
    result.until = QDateTime::currentDateTime();
    result.since = QDateTime(QDate::currentDate(), QTime(0, 0));
    if (!open())
        return result;
    QSqlQuery query(QSqlDatabase::database(m_Connection, false));
    if (query.exec(QStringLiteral("SELECT MAX(started) FROM shifts")) && query.next()) {
        const QDateTime started = QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs);
        if (started.isValid() && started > result.since)
            result.since = started;
    }
    const QString since = timeText(result.since);

    query.prepare(QStringLiteral("SELECT kind, channel, COUNT(*), SUM(fen) FROM entries WHERE time >= ?"
                                 " AND outcome IN ('paid', 'refunded') GROUP BY kind, channel"));
    query.addBindValue(since);
    query.exec();
    while (query.next()) {
        ShiftSummary::Total *total = query.value(0).toString() == QLatin1String("refund")  ? &result.refunds
                                     : query.value(1).toString() == QLatin1String("Kesto") ? &result.wechat
                                                                                           : &result.alipay;
        total->count += query.value(2).toInt();
        total->fen += query.value(3).toLongLong();
    }

    // A sale left waiting for the customer may have been confirmed after the till stopped asking.
    query.prepare(QStringLiteral("SELECT time, fen FROM entries WHERE time >= ? AND kind = 'sale'"
                                 " AND outcome IN ('unknown', 'waiting') ORDER BY time"));
    query.addBindValue(since);
    query.exec();
    while (query.next())
        result.unknown.append({QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs),
                               query.value(1).toLongLong()});
    return result;
}

bool SalesJournal::startShift(const QDateTime &at)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_Connection, false));
    query.prepare(QStringLiteral("INSERT INTO shifts(started) VALUES(?)"));
    query.addBindValue(timeText(at));
    if (!query.exec()) {
        m_Broken = true;
        return false;
    }
    return true;
}
