// Eight cashiers at once for thirty seconds against the real service: sales with fresh codes on
// both channels, customers who confirm a moment later, declined codes, one code scanned at every
// till, queries, and refunds, often of the same order from several tills. Afterwards the database
// holds exactly the orders that were answered as paid, each once, with exactly the refunds that
// were answered as made, and never more refunded than paid.

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
const QString Paid = QStringLiteral("支付成功");
const QString Waiting = QStringLiteral("等待用户验证密码");

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
    QHash<QString, Sale> paid;       // by trade number, paid at once or on a later query
    QHash<QString, qint64> refunded; // by trade number, the refunds answered as made
    QHash<QString, int> sharedCodePaid;
    QVector<Sale> pool; // paid sales that any till may refund
    QStringList problems;
    int refusedRefunds = 0;

    void problem(const QString &what)
    {
        std::lock_guard<std::mutex> guard(lock);
        problems << what;
    }
};

class Till
{
public:
    Till(const TestServer &server, Ledger &ledger, int number)
        : m_Server(server), m_Ledger(ledger), m_Number(number), m_Random(number)
    {
    }

    void work(std::chrono::steady_clock::time_point end)
    {
        for (int n = 0; std::chrono::steady_clock::now() < end; ++n) {
            sell(n);
            if (m_Random() % 3 == 0)
                refundSomething();
            confirmWaiting(QDateTime::currentMSecsSinceEpoch() - 1200);
        }
        // The last customers confirm a second after their scan.
        for (int round = 0; round < 50 && !m_Waiting.isEmpty(); ++round) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            confirmWaiting(QDateTime::currentMSecsSinceEpoch());
        }
        for (const auto &waiting : m_Waiting)
            m_Ledger.problem("never confirmed: " + waiting.first.tradeNo);
    }

private:
    void recordPaid(const Sale &sale)
    {
        std::lock_guard<std::mutex> guard(m_Ledger.lock);
        if (m_Ledger.paid.contains(sale.tradeNo))
            m_Ledger.problems << "trade number answered twice: " + sale.tradeNo;
        m_Ledger.paid.insert(sale.tradeNo, sale);
        m_Ledger.pool << sale;
    }

    // Codes are 18 digits: the channel's prefix, the till, the sale and the ending that picks the
    // outcome. Every sixteenth sale scans the code that every till scans at that point.
    void sell(int n)
    {
        const bool shared = n % 16 == 0;
        const bool alipay = !shared && m_Random() % 2;
        const QString ending = n % 16 == 5 ? "0000" : n % 16 == 9 ? "9999" : "1111";
        const QString code = shared ? QStringLiteral("159%1").arg(n, 11, 10, QLatin1Char('0')) + "2222"
                                    : QStringLiteral("%1%2%3")
                                              .arg(alipay ? 25 + m_Number % 5 : 10 + m_Number % 6)
                                              .arg(m_Number)
                                              .arg(n, 11, 10, QLatin1Char('0')) +
                                          ending;
        const qint64 fen = 1 + m_Random() % 50000;
        const QJsonObject reply = m_Server.call(Pi + (alipay ? "AliPay" : "kesto"),
                                                {{"codes", code}, {"price", yuan(fen)}, {"drive", Front}});
        const QString msg = reply["msg"].toString();
        const Sale sale{reply["out_trade_no"].toString(), reply["transaction_id"].toString(), alipay, fen};
        if (msg == Paid && reply["total_fee"].toString() == QString::number(fen)) {
            recordPaid(sale);
            if (shared) {
                std::lock_guard<std::mutex> guard(m_Ledger.lock);
                ++m_Ledger.sharedCodePaid[code];
            }
            if (m_Random() % 4 == 0 && query(sale) != Paid)
                m_Ledger.problem("a paid sale not queried as paid: " + sale.tradeNo);
        } else if (msg == Waiting && !sale.tradeNo.isEmpty()) {
            m_Waiting << qMakePair(sale, QDateTime::currentMSecsSinceEpoch());
        } else if (!(ending == "9999" && msg == "余额不足") && !(shared && msg.contains("已使用"))) {
            m_Ledger.problem("payment answered " + msg + " for " + code);
        }
    }

    QString query(const Sale &sale)
    {
        const QString msg = m_Server
                                .call(Pi + (sale.alipay ? "AliQuery" : "wxQuery"),
                                      {{"out_trade_no", sale.tradeNo}, {"drive", Front}})["msg"]
                                .toString();
        if (msg != Paid && msg != Waiting)
            m_Ledger.problem("query answered " + msg + " for " + sale.tradeNo);
        return msg;
    }

    // Asks about the customers who scanned before `due`.
    void confirmWaiting(qint64 due)
    {
        for (int i = m_Waiting.size() - 1; i >= 0; --i) {
            if (m_Waiting.at(i).second <= due && query(m_Waiting.at(i).first) == Paid) {
                recordPaid(m_Waiting.at(i).first);
                m_Waiting.remove(i);
            }
        }
    }

    void refundSomething()
    {
        Sale sale;
        {
            std::lock_guard<std::mutex> guard(m_Ledger.lock);
            if (m_Ledger.pool.isEmpty())
                return;
            // The newest sales, which the other tills are refunding as well.
            const int recent = qMin(m_Ledger.pool.size(), 16);
            sale = m_Ledger.pool.at(m_Ledger.pool.size() - 1 - int(m_Random() % recent));
        }
        const qint64 amount = 1 + m_Random() % sale.fen;
        const QJsonObject reply = sale.alipay
                                      ? m_Server.call(AliRefund, {{"trade_no", sale.transactionId},
                                                                  {"device", "前台"},
                                                                  {"refmoney", yuan(amount)}})
                                      : m_Server.call(Pi + "mrefunding", {{"out_trade_no", sale.tradeNo},
                                                                          {"total_fee", yuan(sale.fen)},
                                                                          {"refmoney", yuan(amount)}});
        const QString msg = reply["msg"].toString();
        std::lock_guard<std::mutex> guard(m_Ledger.lock);
        if (msg == "退款成功" && reply["refund_fee"].toString() == QString::number(amount))
            m_Ledger.refunded[sale.tradeNo] += amount;
        else if (msg.contains("超过可退") || msg.contains("已全额退款"))
            ++m_Ledger.refusedRefunds;
        else
            m_Ledger.problems << "refund answered " + msg + " for " + sale.tradeNo;
    }

    const TestServer &m_Server;
    Ledger &m_Ledger;
    const int m_Number;
    std::mt19937 m_Random;
    QVector<QPair<Sale, qint64>> m_Waiting; // and when it was scanned
};

} // namespace

class CashiersTest : public QObject
{
    Q_OBJECT

private slots:
    void eightTillsForHalfAMinute()
    {
        QTemporaryDir dir;
        const QString database = dir.filePath("payment.db");
        TestServer server({"--db", database, "--confirm-delay", "1"});
        const qint64 start = QDateTime::currentMSecsSinceEpoch();
        Ledger ledger;
        const auto end = std::chrono::steady_clock::now() + Duration;
        std::vector<std::thread> tills;
        for (int number = 0; number < Cashiers; ++number)
            tills.emplace_back([&, number] { Till(server, ledger, number).work(end); });
        for (std::thread &till : tills)
            till.join();
        qInfo("%d sales paid, %d orders refunded, %d refunds refused", int(ledger.paid.size()),
              int(ledger.refunded.size()), ledger.refusedRefunds);

        QVERIFY2(ledger.problems.isEmpty(), qPrintable(ledger.problems.mid(0, 10).join('\n')));
        // Every till got through sales, shared codes, refunds and refused refunds.
        QVERIFY(ledger.paid.size() >= Cashiers * 16);
        QVERIFY(ledger.refunded.size() >= Cashiers && ledger.refusedRefunds > 0);
        for (auto it = ledger.sharedCodePaid.cbegin(); it != ledger.sharedCodePaid.cend(); ++it)
            QVERIFY2(it.value() == 1, qPrintable(it.key()));

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
            ++stored;
            const QString tradeNo =
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(rows, 0)));
            const qint64 refunded = ledger.refunded.value(tradeNo);
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
