#include "Seeder.h"

#include "Accounts.h"
#include "Database.h"
#include "OrderStore.h"
#include "TimeText.h"

#include <QDateTime>
#include <algorithm>
#include <vector>

namespace {

// SplitMix64: tiny and fully specified, so the history is the same with every standard library.
class Sequence
{
public:
    explicit Sequence(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    qint64 below(qint64 bound) { return static_cast<qint64>(next() % static_cast<quint64>(bound)); }

private:
    quint64 m_state;
};

constexpr qint64 minute = 60 * 1000;
constexpr int historyDays = 30;

// Orders of one day, none later than `latest` (today's history ends at the moment of seeding).
void seedDay(OrderStore &orders, Sequence &random, qint64 merchantId, qint64 deviceId, const QDate &day,
             qint64 latest)
{
    const int count = 2 + static_cast<int>(random.below(3));
    std::vector<qint64> times;
    for (int i = 0; i < count; ++i)
        times.push_back(TimeText::dayStart(day) + (8 * 60 + random.below(14 * 60)) * minute);
    std::sort(times.begin(), times.end());
    times.erase(std::upper_bound(times.begin(), times.end(), latest), times.end());
    const qint64 dayEnd = std::min(latest, TimeText::dayEnd(day) - 1000);

    for (const qint64 paidAt : times) {
        NewOrder order;
        order.merchantId = merchantId;
        order.deviceId = deviceId;
        order.payt = random.below(2) == 0 ? QStringLiteral("Kesto") : QStringLiteral("AliPay");
        order.totalFee = 100 + random.below(50000);
        order.createdAt = paidAt;
        order.paidAt = paidAt;
        const Order created = orders.create(order);

        // About one order in three gets money back: some in full, most in one or two parts.
        const qint64 roll = random.below(100);
        qint64 refundAt = paidAt;
        if (roll < 10) {
            refundAt = std::min(dayEnd, refundAt + (5 + random.below(120)) * minute);
            orders.addRefund(created.id, created.totalFee, refundAt);
        } else if (roll < 35) {
            const int parts = 1 + static_cast<int>(random.below(2));
            for (int p = 0; p < parts; ++p) {
                refundAt = std::min(dayEnd, refundAt + (5 + random.below(120)) * minute);
                orders.addRefund(created.id, created.totalFee * (10 + random.below(30)) / 100 + 1, refundAt);
            }
        }
    }
}

} // namespace

namespace Seeder {

bool seedIfEmpty(sqlite3 *db, qint64 now, int passwordRounds)
{
    Statement existing(db, "SELECT COUNT(*) FROM merchants");
    existing.step();
    if (existing.integer(0) > 0)
        return false;

    Accounts accounts(db);
    Merchant merchant;
    merchant.userid = QStringLiteral("10001");
    merchant.title = QStringLiteral("演示商户");
    merchant.mchid = QStringLiteral("10001");
    const qint64 merchantId =
        accounts.addMerchant(demoUsername, StoredPassword::make(demoPassword, passwordRounds), merchant);
    const qint64 front = accounts.addDevice(merchantId, QStringLiteral("前台"));
    const qint64 second = accounts.addDevice(merchantId, QStringLiteral("收银台2"));

    OrderStore orders(db);
    Sequence random(20160305);
    const QDate today = QDateTime::fromMSecsSinceEpoch(now).date();
    // Today is seeded too, so that the records view, which opens on today, shows something.
    for (int back = historyDays; back >= 0; --back) {
        const QDate day = today.addDays(-back);
        seedDay(orders, random, merchantId, front, day, now);
        seedDay(orders, random, merchantId, second, day, now);
    }
    return true;
}

} // namespace Seeder
