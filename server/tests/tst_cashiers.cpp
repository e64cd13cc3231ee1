// Eight cashiers at once for thirty seconds against the real service: sales with fresh codes on
// both channels, declined codes, one code scanned at every till, and refunds, often of the same
// order from several tills. Afterwards the database holds exactly the orders that were answered as
// paid, each once, with exactly the refunds that were answered as made, never more than paid.

#include "TestServer.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <mutex>
#include <random>
#include <sqlite3.h>
#include <thread>

namespace {

constexpr int Cashiers = 8;
constexpr auto Duration = std::chrono::seconds(30);

QString yuan(qint64 fen)
{
    return QStringLiteral("%1.%2").arg(fen / 100).arg(fen % 100, 2, 10, QLatin1Char('0'));
}

struct Sale
{
    QString tradeNo;
    QString transactionId;
    bool alipay = false;
    qint64 fen = 0;
};

// What the tills were told, under one lock.
struct Ledger
{
    std::mutex lock;
    QHash<QString, Sale> paid;       // by trade number
    QHash<QString, qint64> refunded; // by trade number, the refunds answered as made
    QSet<QString> sharedCodes;       // paid codes that every till scanned
    QVector<Sale> pool;              // paid sales that any till may refund
    QStringList problems;
    int refusedRefunds = 0;
};

// Codes are 18 digits: the channel's prefix, the till, the sale and the ending that picks the
// outcome. Every eighth sale scans the code that every till scans at that point.
void sell(const TestServer &server, Ledger &ledger, std::mt19937 &random, int till, int n)
{
    const bool shared = n % 8 == 0;
    const bool alipay = !shared && random() % 2;
    const QString ending = n % 8 == 5 ? "9999" : "1111";
    const QString code = shared ? QStringLiteral("159%1").arg(n, 11, 10, QLatin1Char('0')) + "2222"
                                : QStringLiteral("%1%2%3")
                                          .arg(alipay ? 25 + till % 5 : 10 + till % 6)
                                          .arg(till)
                                          .arg(n, 11, 10, QLatin1Char('0')) +
                                      ending;
    const qint64 fen = 1 + random() % 50000;
    const QJsonObject reply = server.call(Pi + (alipay ? "AliPay" : "kesto"),
                                          {{"codes", code}, {"price", yuan(fen)}, {"drive", Front}});
    const QString msg = reply["msg"].toString();
    std::lock_guard<std::mutex> guard(ledger.lock);
    if (msg == "支付成功" && reply["total_fee"].toString() == QString::number(fen)) {
        const Sale sale{reply["out_trade_no"].toString(), reply["transaction_id"].toString(), alipay, fen};
        if (ledger.paid.contains(sale.tradeNo) || (shared && ledger.sharedCodes.contains(code)))
            ledger.problems << "paid twice: " + code;
        ledger.paid.insert(sale.tradeNo, sale);
        ledger.pool << sale;
        if (shared)
            ledger.sharedCodes << code;
    } else if (!(ending == "9999" && msg == "余额不足") && !(shared && msg.contains("已使用"))) {
        ledger.problems << "payment answered " + msg + " for " + code;
    }
}

// Refunds part of one of the newest sales, which the other tills are refunding as well.
void refundSomething(const TestServer &server, Ledger &ledger, std::mt19937 &random)
{
    Sale sale;
    {
        std::lock_guard<std::mutex> guard(ledger.lock);
        if (ledger.pool.isEmpty())
            return;
        sale = ledger.pool.at(ledger.pool.size() - 1 - int(random() % qMin(ledger.pool.size(), 16)));
    }
    const qint64 amount = 1 + random() % sale.fen;
    const QJsonObject reply =
        sale.alipay
            ? server.call(AliRefund,
                          {{"trade_no", sale.transactionId}, {"device", "前台"}, {"refmoney", yuan(amount)}})
            : server.call(Pi + "mrefunding", {{"out_trade_no", sale.tradeNo},
                                              {"total_fee", yuan(sale.fen)},
                                              {"refmoney", yuan(amount)}});
    const QString msg = reply["msg"].toString();
    std::lock_guard<std::mutex> guard(ledger.lock);
    if (msg == "退款成功" && reply["refund_fee"].toString() == QString::number(amount))
        ledger.refunded[sale.tradeNo] += amount;
    else if (msg.contains("超过可退") || msg.contains("已全额退款"))
        ++ledger.refusedRefunds;
    else
        ledger.problems << "refund answered " + msg + " for " + sale.tradeNo;
}

} // namespace

class CashiersTest : public QObject
{
    Q_OBJECT

private slots:
    void eightTillsForHalfAMinute()
    {
        QTemporaryDir dir;
        const QString database = dir.filePath("payment.db");
        TestServer server({"--db", database});
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        Ledger ledger;
        const auto end = std::chrono::steady_clock::now() + Duration;
        std::vector<std::thread> tills;
        for (int till = 0; till < Cashiers; ++till) {
            tills.emplace_back([&, till] {
                std::mt19937 random(till);
                for (int n = 0; std::chrono::steady_clock::now() < end; ++n) {
                    sell(server, ledger, random, till, n);
                    if (random() % 3 == 0)
                        refundSomething(server, ledger, random);
                }
            });
        }
        for (std::thread &till : tills)
            till.join();
        qInfo("%d sales paid, %d orders refunded, %d refunds refused", int(ledger.paid.size()),
              int(ledger.refunded.size()), ledger.refusedRefunds);
        QVERIFY2(ledger.problems.isEmpty(), qPrintable(ledger.problems.mid(0, 10).join('\n')));
        QVERIFY(ledger.sharedCodes.size() >= 8 && ledger.refunded.size() >= Cashiers &&
                ledger.refusedRefunds > 0);

        // The new orders in the database against what the tills were told.
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
                 SQLITE_OK);
        sqlite3_stmt *rows = nullptr;
        QCOMPARE(sqlite3_prepare_v2(db,
                                    "SELECT o.out_trade_no, o.total_fee, o.paid_at IS NOT NULL, o.refunded, "
                                    "(SELECT COALESCE(SUM(amount), 0) FROM refunds WHERE order_id = o.id) "
                                    "FROM orders o WHERE o.created_at >= ?",
                                    -1, &rows, nullptr),
                 SQLITE_OK);
        sqlite3_bind_int64(rows, 1, start);
        QStringList wrong;
        int stored = 0;
        while (sqlite3_step(rows) == SQLITE_ROW) {
            const QString tradeNo =
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rows, 0)));
            const qint64 refunded = ledger.refunded.value(tradeNo);
            ++stored;
            if (ledger.paid.value(tradeNo).fen != sqlite3_column_int64(rows, 1) ||
                !sqlite3_column_int(rows, 2) || sqlite3_column_int64(rows, 3) != refunded ||
                sqlite3_column_int64(rows, 4) != refunded || refunded > sqlite3_column_int64(rows, 1))
                wrong << tradeNo;
        }
        sqlite3_finalize(rows);
        sqlite3_close(db);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.mid(0, 10).join(' ')));
        QCOMPARE(stored, ledger.paid.size());
    }
};

QTEST_GUILESS_MAIN(CashiersTest)
#include "tst_cashiers.moc"
