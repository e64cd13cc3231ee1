// Eight tills at once against the real service: sales with fresh codes on both channels, declined
// codes, one code scanned at every till, and refunds, often of the same order from several tills.
// Afterwards the records hold exactly the sales answered as paid, each once, with exactly the
// refunds answered as made, and no order was refunded above its amount.

#include "TestServer.h"

#include <mutex>
#include <random>
#include <thread>

namespace {

constexpr int Tills = 8;
constexpr auto Duration = std::chrono::seconds(12);

// What the tills were told, under one lock.
struct Ledger
{
    std::mutex lock;
    QHash<QString, QJsonObject> paid; // by trade number
    QVector<QJsonObject> pool;        // the paid sales, newest last, that any till may refund
    QHash<QString, qint64> refunded;  // by trade number
    QSet<QString> sharedCodes;        // paid codes that every till scanned
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
    const QString sale = QStringLiteral("%1").arg(n, 11, 10, QLatin1Char('0'));
    const QString code = shared ? "159" + sale + "2222"
                                : QString::number(alipay ? 25 + till % 5 : 10 + till % 6) +
                                      QString::number(till) + sale + ending;
    const qint64 fen = 1 + random() % 50000;
    const QJsonObject reply = server.pay(alipay ? "AliPay" : "kesto", code, yuan(fen));
    const QString msg = reply["msg"].toString();
    std::lock_guard<std::mutex> guard(ledger.lock);
    if (msg == Paid && reply["total_fee"].toString() == QString::number(fen)) {
        const QString tradeNo = reply["out_trade_no"].toString();
        if (ledger.paid.contains(tradeNo) || (shared && ledger.sharedCodes.contains(code)))
            ledger.problems << "paid twice: " + code;
        ledger.paid.insert(tradeNo, reply);
        ledger.pool << reply;
        if (shared)
            ledger.sharedCodes << code;
    } else if (!(ending == "9999" && msg == "余额不足") && !(shared && msg.contains("已使用"))) {
        ledger.problems << "payment answered " + msg + " for " + code;
    }
}

// Refunds part of one of the newest sales, which the other tills are refunding as well.
void refundSomething(const TestServer &server, Ledger &ledger, std::mt19937 &random)
{
    QJsonObject sale;
    {
        std::lock_guard<std::mutex> guard(ledger.lock);
        if (ledger.pool.isEmpty())
            return;
        sale = ledger.pool.at(ledger.pool.size() - 1 - int(random() % qMin(ledger.pool.size(), 16)));
    }
    const qint64 amount = 1 + random() % sale["total_fee"].toString().toLongLong();
    const QJsonObject reply = server.refund(sale, yuan(amount));
    const QString msg = reply["msg"].toString();
    std::lock_guard<std::mutex> guard(ledger.lock);
    if (msg == Refunded && reply["refund_fee"].toString() == QString::number(amount))
        ledger.refunded[sale["out_trade_no"].toString()] += amount;
    else if (msg.contains("超过可退") || msg.contains("已全额退款"))
        ++ledger.refusedRefunds;
    else
        ledger.problems << "refund answered " + msg + " for " + sale["out_trade_no"].toString();
}

} // namespace

class CashiersTest : public QObject
{
    Q_OBJECT

private slots:
    void eightTills()
    {
        TestServer server;
        // From yesterday, so that midnight moves nothing.
        const auto sums = [&server] { return summaryOf(server.records(Front, "payport", 1)); };
        const Summary before = sums();
        Ledger ledger;
        const auto end = std::chrono::steady_clock::now() + Duration;
        std::vector<std::thread> tills;
        for (int till = 0; till < Tills; ++till) {
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
        QVERIFY(ledger.sharedCodes.size() >= 8 && ledger.refunded.size() >= Tills &&
                ledger.refusedRefunds > 0);

        qint64 fen = 0, refunded = 0;
        for (const QJsonObject &sale : qAsConst(ledger.paid)) {
            const qint64 total = sale["total_fee"].toString().toLongLong();
            const qint64 back = ledger.refunded.value(sale["out_trade_no"].toString());
            QVERIFY2(back <= total, qPrintable(sale["out_trade_no"].toString()));
            fen += total;
            refunded += back;
        }
        QCOMPARE(added(before, sums()),
                 QStringLiteral("%1 %2 %3").arg(ledger.paid.size()).arg(fen).arg(refunded));
    }
};

QTEST_GUILESS_MAIN(CashiersTest)
#include "tst_cashiers.moc"
