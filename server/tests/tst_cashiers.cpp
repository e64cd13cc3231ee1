// Eight cashiers at once for thirty seconds against the real server: sales with fresh codes on
// both channels, customers who confirm a moment later, declined codes, one code scanned at every
// till, queries, and refunds, often of the same order from several tills. Afterwards the database
// holds exactly the orders that were answered as paid, each once, with exactly the refunds that
// were answered as made, and never more refunded than paid.

#include "TestServer.h"

#include <QDateTime>
#include <QtTest>
#include <chrono>
#include <mutex>
#include <random>
#include <sqlite3.h>
#include <thread>

namespace {

constexpr int Cashiers = 8;
constexpr auto Duration = std::chrono::seconds(30);
// Bounds each till's loop on a machine fast enough to make the duration moot.
constexpr int MaxSales = 50000;

const QString Paid = QStringLiteral("支付成功");
const QString Waiting = QStringLiteral("等待用户验证密码");
const QString Refunded = QStringLiteral("退款成功");

QString yuan(qint64 fen)
{
    return QString::number(fen / 100) + '.' + QString::number(fen % 100).rightJustified(2, '0');
}

struct Sale
{
    QString tradeNo;
    QString transactionId;
    bool alipay = false;
    qint64 fen = 0;
};

// What the tills were told, kept under one lock.
struct Ledger
{
    std::mutex lock;
    QHash<QString, Sale> paid;       // by trade number: answered paid, at once or by a later query
    QHash<QString, qint64> refunded; // by trade number: the sum of the refunds answered as made
    QHash<QString, int> sharedCodePaid;
    QVector<Sale> pool; // paid sales that any till may refund
    QStringList problems;
    int refundsMade = 0;
    int refusedRefunds = 0;
};

class Till
{
public:
    Till(const TestServer &server, Ledger &ledger, int number)
        : m_server(server), m_ledger(ledger), m_number(number), m_random(number)
    {
    }

    void work(std::chrono::steady_clock::time_point end)
    {
        for (int n = 0; n < MaxSales && std::chrono::steady_clock::now() < end; ++n) {
            sell(n);
            if (m_random() % 3 == 0)
                refundSomething();
            confirmWaiting(false);
        }
        // The last customers confirm a second after their scan.
        for (int round = 0; round < 50 && !m_waiting.isEmpty(); ++round) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            confirmWaiting(true);
        }
        for (const Sale &sale : m_waiting)
            problem("never confirmed", sale.tradeNo);
    }

private:
    QJsonObject call(const std::string &path, const Fields &fields)
    {
        return m_server.post(path, fields)[QStringLiteral("call")].toObject();
    }

    void problem(const QString &what, const QString &detail)
    {
        std::lock_guard<std::mutex> guard(m_ledger.lock);
        m_ledger.problems << QStringLiteral("till %1: %2 (%3)").arg(m_number).arg(what, detail);
    }

    void recordPaid(const Sale &sale)
    {
        std::lock_guard<std::mutex> guard(m_ledger.lock);
        if (m_ledger.paid.contains(sale.tradeNo))
            m_ledger.problems << QStringLiteral("trade number answered twice: ") + sale.tradeNo;
        m_ledger.paid.insert(sale.tradeNo, sale);
        m_ledger.pool << sale;
    }

    // Codes are 18 digits: channel prefix, till, sale number, and the ending that picks the outcome.
    // Every sixteenth sale scans the code that every till scans at that point.
    void sell(int n)
    {
        const bool shared = n % 16 == 0;
        const bool alipay = !shared && m_random() % 2;
        const char *ending = n % 16 == 5 ? "0000" : n % 16 == 9 ? "9999" : "1111";
        const QString prefix =
            alipay ? QStringLiteral("2%1").arg(5 + m_number % 5) : QStringLiteral("1%1").arg(m_number % 6);
        const QString code = shared ? QStringLiteral("159%1").arg(n, 11, 10, QLatin1Char('0')) + "2222"
                                    : prefix + QString::number(m_number) +
                                          QStringLiteral("%1").arg(n, 11, 10, QLatin1Char('0')) + ending;
        const qint64 fen = 1 + m_random() % 50000;
        const QJsonObject reply = call(TestServer::payInterface + (alipay ? "AliPay" : "kesto"),
                                       {{"codes", code}, {"price", yuan(fen)}, {"drive", Demo::frontDevice}});
        const QString msg = reply["msg"].toString();
        const Sale sale{reply["out_trade_no"].toString(), reply["transaction_id"].toString(), alipay, fen};
        if (msg == Paid && reply["total_fee"].toString() == QString::number(fen)) {
            recordPaid(sale);
            if (shared) {
                std::lock_guard<std::mutex> guard(m_ledger.lock);
                ++m_ledger.sharedCodePaid[code];
            }
            if (m_random() % 4 == 0 && query(sale) == Waiting)
                problem("a paid sale queried as waiting", sale.tradeNo);
        } else if (msg == Waiting && !sale.tradeNo.isEmpty()) {
            m_waiting << sale;
            m_waitingSince << QDateTime::currentMSecsSinceEpoch();
        } else if (!(QString(ending) == "9999" && msg == QStringLiteral("余额不足")) &&
                   !(shared && msg.contains(QStringLiteral("已使用")))) {
            problem("payment answered " + msg, code);
        }
    }

    QString query(const Sale &sale)
    {
        const QString msg = call(TestServer::payInterface + (sale.alipay ? "AliQuery" : "wxQuery"),
                                 {{"out_trade_no", sale.tradeNo}, {"drive", Demo::frontDevice}})["msg"]
                                .toString();
        if (msg != Paid && msg != Waiting)
            problem("query answered " + msg, sale.tradeNo);
        return msg;
    }

    // Asks about the customers who confirm a second after the scan.
    void confirmWaiting(bool all)
    {
        const qint64 due = QDateTime::currentMSecsSinceEpoch() - 1200;
        for (int i = m_waiting.size() - 1; i >= 0; --i) {
            if ((all || m_waitingSince.at(i) < due) && query(m_waiting.at(i)) == Paid) {
                recordPaid(m_waiting.at(i));
                m_waiting.remove(i);
                m_waitingSince.remove(i);
            }
        }
    }

    void refundSomething()
    {
        Sale sale;
        {
            std::lock_guard<std::mutex> guard(m_ledger.lock);
            if (m_ledger.pool.isEmpty())
                return;
            // The newest sales, which the other tills are refunding as well.
            const int recent = qMin(m_ledger.pool.size(), 16);
            sale = m_ledger.pool.at(m_ledger.pool.size() - 1 - int(m_random() % recent));
        }
        const qint64 amount = 1 + m_random() % sale.fen;
        const QJsonObject reply =
            sale.alipay
                ? call("/index.php/pay/Payinterface/alirefunds",
                       {{"trade_no", sale.transactionId}, {"device", "前台"}, {"refmoney", yuan(amount)}})
                : call(TestServer::payInterface + "mrefunding", {{"out_trade_no", sale.tradeNo},
                                                                 {"total_fee", yuan(sale.fen)},
                                                                 {"refmoney", yuan(amount)}});
        const QString msg = reply["msg"].toString();
        std::lock_guard<std::mutex> guard(m_ledger.lock);
        if (msg == Refunded && reply["refund_fee"].toString() == QString::number(amount)) {
            m_ledger.refunded[sale.tradeNo] += amount;
            ++m_ledger.refundsMade;
        } else if (msg.contains(QStringLiteral("超过可退")) || msg.contains(QStringLiteral("已全额退款")))
            ++m_ledger.refusedRefunds;
        else
            m_ledger.problems << "refund answered " + msg + " for " + sale.tradeNo;
    }

    const TestServer &m_server;
    Ledger &m_ledger;
    const int m_number;
    std::mt19937 m_random;
    QVector<Sale> m_waiting;
    QVector<qint64> m_waitingSince;
};

} // namespace

class CashiersTest : public QObject
{
    Q_OBJECT

private slots:
    void eightTillsForHalfAMinute();
};

void CashiersTest::eightTillsForHalfAMinute()
{
    TestServer server({"--confirm-delay", "1"});
    QVERIFY(server.isRunning());
    const qint64 start = QDateTime::currentMSecsSinceEpoch();

    Ledger ledger;
    const auto end = std::chrono::steady_clock::now() + Duration;
    std::vector<std::thread> tills;
    for (int number = 0; number < Cashiers; ++number)
        tills.emplace_back([&, number] { Till(server, ledger, number).work(end); });
    for (std::thread &till : tills)
        till.join();
    QCOMPARE(server.stop(), 0);
    qInfo("%d sales paid, %d refunds made, %d refused as above what was left", int(ledger.paid.size()),
          ledger.refundsMade, ledger.refusedRefunds);

    QVERIFY2(ledger.problems.isEmpty(), qPrintable(ledger.problems.mid(0, 10).join('\n')));
    // Every till got through sales, shared codes, refunds and refusals of refunds.
    QVERIFY(ledger.paid.size() >= Cashiers * 16);
    QVERIFY(ledger.refunded.size() >= Cashiers);
    QVERIFY(ledger.refusedRefunds > 0);
    for (auto it = ledger.sharedCodePaid.cbegin(); it != ledger.sharedCodePaid.cend(); ++it)
        QVERIFY2(it.value() == 1, qPrintable(it.key()));

    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2(server.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
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
        ++stored;
        const QString tradeNo =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rows, 0)));
        const qint64 refunded = ledger.refunded.value(tradeNo);
        if (!ledger.paid.contains(tradeNo) ||
            ledger.paid.value(tradeNo).fen != sqlite3_column_int64(rows, 1) || !sqlite3_column_int(rows, 2) ||
            sqlite3_column_int64(rows, 3) != refunded || sqlite3_column_int64(rows, 4) != refunded ||
            refunded > sqlite3_column_int64(rows, 1))
            wrong << tradeNo;
    }
    sqlite3_finalize(rows);
    sqlite3_close(db);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.mid(0, 10).join(' ')));
    QCOMPARE(stored, ledger.paid.size());
}

QTEST_GUILESS_MAIN(CashiersTest)
#include "tst_cashiers.moc"
