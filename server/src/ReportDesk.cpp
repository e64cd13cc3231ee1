#include "ReportDesk.h"

#include "Money.h"
#include "OrderStore.h"
#include "Replies.h"
#include "TimeText.h"

namespace {

// The two kinds of record share the columns; only their rows and their summary differ.
struct RecordKind
{
    const char *totalsSql;
    const char *pageSql;
    bool payments;
};

const RecordKind paymentRecords{
    "SELECT COUNT(*), COALESCE(SUM(total_fee), 0), COALESCE(SUM(refunded), 0) FROM orders "
    "WHERE device_id = ? AND paid_at >= ? AND paid_at < ?",
    "SELECT o.id, o.payt, d.name, o.total_fee, o.refunded, o.out_trade_no, o.transaction_id, o.paid_at "
    "FROM orders o JOIN devices d ON d.id = o.device_id "
    "WHERE o.device_id = ? AND o.paid_at >= ? AND o.paid_at < ? "
    "ORDER BY o.paid_at DESC, o.id DESC LIMIT ? OFFSET ?",
    true};

const RecordKind refundRecords{
    "SELECT COUNT(*), COALESCE(SUM(r.amount), 0), 0 FROM refunds r JOIN orders o ON o.id = r.order_id "
    "WHERE o.device_id = ? AND r.refunded_at >= ? AND r.refunded_at < ?",
    "SELECT r.id, o.payt, d.name, o.total_fee, r.amount, o.out_trade_no, o.transaction_id, r.refunded_at "
    "FROM refunds r JOIN orders o ON o.id = r.order_id JOIN devices d ON d.id = o.device_id "
    "WHERE o.device_id = ? AND r.refunded_at >= ? AND r.refunded_at < ? "
    "ORDER BY r.refunded_at DESC, r.id DESC LIMIT ? OFFSET ?",
    false};

const RecordKind &recordKind(const QString &paytype)
{
    if (paytype == QLatin1String("payport"))
        return paymentRecords;
    if (paytype == QLatin1String("payrefunds"))
        return refundRecords;
    throw Refusal(
        QStringLiteral("记录类型无效：%1（应为 payport 或 payrefunds）").arg(Replies::echo(paytype)));
}

QDate requireDay(const Request &request, const QString &field, const QString &caption)
{
    const QString text = request.form.value(field);
    const QDate day = TimeText::parseDay(text);
    if (!day.isValid())
        throw Refusal(
            QStringLiteral("%1无效：%2（应为 2024/3/5 或 2024-03-05）").arg(caption, Replies::echo(text)));
    return day;
}

qint64 requirePage(const Request &request)
{
    const QString text = request.form.value(QStringLiteral("p"));
    if (text.isEmpty())
        return 1;
    bool ok = false;
    const int page = text.toInt(&ok);
    if (!ok)
        throw Refusal(QStringLiteral("页码无效：%1").arg(Replies::echo(text)));
    return page;
}

QString summary(const RecordKind &kind, qint64 count, qint64 sum, qint64 refunded)
{
    if (kind.payments) {
        return QStringLiteral("支付%1笔，合计%2元，已退款%3元")
            .arg(count)
            .arg(Money::formatYuan(sum), Money::formatYuan(refunded));
    }
    return QStringLiteral("退款%1笔，合计%2元").arg(count).arg(Money::formatYuan(sum));
}

} // namespace

QJsonObject ReportDesk::report(const Request &request) const
{
    const RecordKind &kind = recordKind(request.form.value(QStringLiteral("paytype")));
    const QDate from = requireDay(request, QStringLiteral("startime"), QStringLiteral("开始日期"));
    const QDate to = requireDay(request, QStringLiteral("endtime"), QStringLiteral("结束日期"));
    if (from > to)
        throw Refusal(QStringLiteral("开始日期不能晚于结束日期"));
    const qint64 page = requirePage(request);
    const qint64 rangeStart = TimeText::dayStart(from);
    const qint64 rangeEnd = TimeText::dayEnd(to);

    return m_db.write([&](sqlite3 *db) {
        const QString deviceText = request.form.value(QStringLiteral("device"));
        const std::optional<Device> device = Accounts(db).findDevice(request.merchant.id, deviceText);
        if (!device)
            throw Refusal(QStringLiteral("支付设备不存在：%1").arg(Replies::echo(deviceText)));
        OrderStore(db).settleDue(m_config.now());

        Statement totals(db, kind.totalsSql);
        totals.bind(1, device->id).bind(2, rangeStart).bind(3, rangeEnd).step();
        const qint64 count = totals.integer(0);
        const qint64 pages = (count + pageSize - 1) / pageSize;

        QJsonObject list;
        int index = 0;
        if (page >= 1 && page <= pages) {
            Statement rows(db, kind.pageSql);
            rows.bind(1, device->id).bind(2, rangeStart).bind(3, rangeEnd);
            rows.bind(4, pageSize).bind(5, (page - 1) * pageSize);
            for (; rows.step(); ++index) {
                list.insert(QString::number(index),
                            QJsonObject{{QStringLiteral("id"), QString::number(rows.integer(0))},
                                        {QStringLiteral("payt"), rows.text(1)},
                                        {QStringLiteral("device_info"), rows.text(2)},
                                        {QStringLiteral("total_fee"), QString::number(rows.integer(3))},
                                        {QStringLiteral("refunds"), QString::number(rows.integer(4))},
                                        {QStringLiteral("out_trade_no"), rows.text(5)},
                                        {QStringLiteral("transaction_id"), rows.text(6)},
                                        {QStringLiteral("time_end"), TimeText::stamp(rows.integer(7))}});
            }
        }
        list.insert(QStringLiteral("page"),
                    QJsonObject{{QStringLiteral("np"), index - 1}, {QStringLiteral("pmax"), pages}});
        list.insert(QStringLiteral("total"),
                    QJsonObject{{QStringLiteral("tongji"),
                                 summary(kind, count, totals.integer(1), totals.integer(2))}});
        return QJsonObject{{QStringLiteral("list"), list}};
    });
}
