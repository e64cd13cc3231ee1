// The service: form bodies and the database's own cap as units; over real HTTP a sale's life,
// confirmation, the records, every kind of refusal, the busy port, and eight tills at once.

#include "Database.h"
#include "FormBody.h"
#include "Schema.h"
#include "Seeder.h"
#include "paymentserver.h"
#include "rows.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QUrl>
#include <httplib.h>
#include <random>
#include <thread>

namespace {

const QString Front = QStringLiteral("1_前台");
const QString Paid = QStringLiteral("支付成功");
const QString Refunded = QStringLiteral("退款成功");

// The count and the sums in fen of a summary such as "支付81笔，合计19829.90元，已退款12.00元".
QVector<qint64> sums(const QJsonObject &list)
{
    QVector<qint64> numbers;
    auto match = QRegularExpression("(\\d+)(?:\\.(\\d\\d))?")
                     .globalMatch(list["total"].toObject()["tongji"].toString());
    while (match.hasNext()) {
        const QRegularExpressionMatch number = match.next();
        numbers << (number.captured(1) + number.captured(2)).toLongLong();
    }
    return numbers;
}
// What came between two summaries, "count fen [refunded fen]".
QString added(const QVector<qint64> &before, const QVector<qint64> &after)
{
    QStringList texts;
    for (int i = 0; i < after.size(); ++i)
        texts << QString::number(after[i] - before.value(i));
    return texts.join(' ');
}

// The payment service (tests/support) and what a till posts to it.
class TestServer : public PaymentServer
{
public:
    using PaymentServer::PaymentServer;

    // The fields as they are, after the demo account's credentials unless they bring their own; the
    // client spells one path with a lower-case "pay". A reply that is not a JSON object gives {}.
    QJsonObject post(const QString &path, QByteArray fields, int *status = nullptr) const
    {
        if (!fields.startsWith("username="))
            fields.prepend("username=demo&password=demo123&");
        const QString url =
            (path == "alirefunds" ? "/index.php/pay/Payinterface/" : "/index.php/Pay/Payinterface/") + path;
        const auto reply =
            httplib::Client("127.0.0.1", QUrl(baseUrl()).port())
                .Post(url.toStdString(), fields.toStdString(), "application/x-www-form-urlencoded");
        if (status)
            *status = reply ? reply->status : -1;
        return QJsonDocument::fromJson(reply ? QByteArray::fromStdString(reply->body) : QByteArray())
            .object();
    }
    QJsonObject call(const QString &path, const QString &fields) const
    {
        return post(path, fields.toUtf8())["call"].toObject();
    }
    QJsonObject pay(const QString &path, const QString &code, const QString &price,
                    const QString &drive = Front) const
    {
        return call(path, QStringLiteral("codes=%1&price=%2&drive=%3").arg(code, price, drive));
    }
    // As the refund window sends it on the order's channel, the order as its sale or lookup answered.
    QJsonObject refund(const QJsonObject &order, const QString &amount) const
    {
        if (order["payt"].toString() == "Kesto")
            return call("mrefunding",
                        QStringLiteral("out_trade_no=%1&total_fee=%2&refmoney=%3")
                            .arg(order["out_trade_no"].toString(),
                                 QString::number(order["total_fee"].toString().toDouble() / 100, 'f', 2),
                                 amount));
        return call("alirefunds",
                    QStringLiteral("trade_no=%1&device=%2&refmoney=%3")
                        .arg(order["transaction_id"].toString(), order["device_info"].toString(), amount));
    }
    // A page of the records from some days back to tomorrow, in both forms of a day, and their summary.
    QJsonObject records(const QString &device, const QString &kind, int days = 0, int page = 1) const
    {
        const QDate today = QDate::currentDate();
        return post("mreport", QStringLiteral("device=%1&startime=%2&endtime=%3&paytype=%4&p=%5")
                                   .arg(device, today.addDays(-days).toString("yyyy-MM-dd"),
                                        today.addDays(1).toString("yyyy/M/d"), kind, QString::number(page))
                                   .toUtf8())["list"]
            .toObject();
    }
};

QString values(const QJsonObject &object, std::initializer_list<const char *> keys)
{
    QStringList texts;
    for (const char *key : keys)
        texts << object[key].toString();
    return texts.join(QLatin1Char(' '));
}

// What eight tills were told, under one lock.
struct Ledger
{
    std::mutex lock;
    QVector<QJsonObject> sales; // answered as paid, newest last
    QSet<QString> sharedCodes;
    QHash<QString, qint64> refunded; // by trade number, answered as made
    QStringList problems;
    int refusedRefunds = 0;
};

// One till's sales until the end, with fresh codes on both channels (prefix, till, sale, ending),
// every eighth declined and every eighth the code that every till scans at that point; after a
// third of them it refunds part of one of the newest sales, which other tills are refunding too.
void runTill(const TestServer &server, Ledger &ledger, int till, std::chrono::steady_clock::time_point end)
{
    std::mt19937 random(till);
    for (int n = 0; std::chrono::steady_clock::now() < end; ++n) {
        const bool shared = n % 8 == 0, alipay = !shared && random() % 2;
        const QString number = QStringLiteral("%1").arg(n, 11, 10, QLatin1Char('0'));
        const QString code = shared ? "159" + number + "2222"
                                    : QString::number((alipay ? 25 + till % 5 : 10 + till % 6) * 10 + till) +
                                          number + (n % 8 == 5 ? "9999" : "1111");
        const qint64 fen = 1 + random() % 50000;
        const QJsonObject sale =
            server.pay(alipay ? "AliPay" : "kesto", code, QString::number(fen / 100.0, 'f', 2));
        const QString msg = sale["msg"].toString();
        std::unique_lock<std::mutex> guard(ledger.lock);
        if (msg == Paid && sale["total_fee"].toString() == QString::number(fen)) {
            if (shared && ledger.sharedCodes.contains(code))
                ledger.problems << "paid twice: " + code;
            ledger.sales << sale;
            if (shared)
                ledger.sharedCodes << code;
        } else if (!(code.endsWith("9999") && msg == "余额不足") && !(shared && msg.contains("已使用"))) {
            ledger.problems << "payment answered " + msg + " for " + code;
        }
        if (random() % 3 != 0 || ledger.sales.isEmpty())
            continue;
        const QJsonObject order =
            ledger.sales.at(ledger.sales.size() - 1 - int(random() % qMin(ledger.sales.size(), 16)));
        const qint64 amount = 1 + random() % order["total_fee"].toString().toLongLong();
        guard.unlock();
        const QJsonObject refund = server.refund(order, QString::number(amount / 100.0, 'f', 2));
        const QString answer = refund["msg"].toString();
        guard.lock();
        const QString tradeNo = order["out_trade_no"].toString();
        if (answer == Refunded && refund["refund_fee"].toString() == QString::number(amount)) {
            if ((ledger.refunded[tradeNo] += amount) > order["total_fee"].toString().toLongLong())
                ledger.problems << "refunded above its sale: " + tradeNo;
        } else if (answer.contains("超过可退") || answer.contains("已全额退款")) {
            ++ledger.refusedRefunds;
        } else {
            ledger.problems << "refund answered " + answer;
        }
    }
}

} // namespace

struct Refused
{
    const char *tag, *path, *fields, *message;
    bool retry;
};
Q_DECLARE_METATYPE(Refused)

class ServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_Server.isRunning()); }

    // Escapes, "+" and the first of repeated names decoded; truncated, overlong or surrogate UTF-8 refused.
    void decodeForm()
    {
        const FormBody form = FormBody::decode("a=x%26y+z%E2%82%AC&a=2");
        QVERIFY(form.isValidUtf8());
        QCOMPARE(form.value("a"), QStringLiteral("x&y z€"));
        for (const char *body : {"a=\xE5\x89", "a=%C0%AF", "a=%ED%A0%80"})
            QVERIFY2(!FormBody::decode(body).isValidUtf8(), body);
    }

    // The database itself refuses a refunded total above what was paid, whatever checks come first.
    void databaseCapsRefunds()
    {
        QTemporaryDir dir;
        Database database(dir.filePath("capped.db"));
        database.write([](sqlite3 *db) { return Schema::create(db), Seeder::seedIfEmpty(db, 0); });
        const auto refundTooMuch = [](sqlite3 *db) {
            return Statement(db, "UPDATE orders SET refunded = 1 + total_fee").run(), 0;
        };
        QVERIFY_EXCEPTION_THROWN(database.write(refundTooMuch), DatabaseError);
    }

    // A sale at the second till, looked up from the first, refunded in parts up to its amount, and
    // then at the top of its till's records and in their sums.
    void saleRefundsAndRecords_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("drive");
        row("wechat, encoded device", "kesto", "2_%E6%94%B6%E9%93%B6%E5%8F%B02");
        row("alipay, bare device id", "AliPay", "2");
    }
    void saleRefundsAndRecords()
    {
        QFETCH(QString, path);
        QFETCH(QString, drive);
        const QVector<qint64> paidBefore = sums(m_Server.records("2", "payport"));
        const QVector<qint64> refundsBefore = sums(m_Server.records("2", "payrefunds"));
        const QJsonObject sale = m_Server.pay(path, freshCode(path == "kesto" ? "11" : "28"), "10", drive);
        const QString tradeNo = sale["out_trade_no"].toString(), lookup = "device=1&out_trade_no=" + tradeNo;
        QCOMPARE(values(sale, {"msg", "payt", "total_fee", "device_info", "mchname", "mchid"}),
                 Paid + (path == "kesto" ? " Kesto" : " AliPay") + " 1000 收银台2 演示商户 10001");
        const auto order = {"out_trade_no", "transaction_id", "payt", "time_end", "device_info", "total_fee"};
        QCOMPARE(values(m_Server.call("GetOrders", lookup), order), values(sale, order));

        QCOMPARE(m_Server.refund(sale, "3.33")["msg"].toString(), Refunded);
        QCOMPARE(m_Server.call("GetOrders", lookup)["refunds"].toString(), QStringLiteral("333"));
        QCOMPARE(m_Server.refund(sale, "6.67")["refund_fee"].toString(), QStringLiteral("667"));
        QVERIFY(m_Server.refund(sale, "0.01")["msg"].toString().contains("已全额退款"));

        const QJsonObject payments = m_Server.records("2", "payport"),
                          refunds = m_Server.records("2", "payrefunds");
        QCOMPARE(added(paidBefore, sums(payments)), QStringLiteral("1 1000 1000"));
        QCOMPARE(values(payments["0"].toObject(), {"out_trade_no", "refunds"}), tradeNo + " 1000");
        QCOMPARE(added(refundsBefore, sums(refunds)), QStringLiteral("2 1000"));
        QCOMPARE(values(refunds["0"].toObject(), {"transaction_id", "refunds"}),
                 sale["transaction_id"].toString() + " 667");
    }

    // Every page of a month of seeded records: newest first, each once, of the device asked for,
    // adding up to the summary.
    void allPagesAddUp_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("kind");
        row("payments", Front, "payport");
        row("refunds", "2_收银台2", "payrefunds");
    }
    void allPagesAddUp()
    {
        QFETCH(QString, device);
        QFETCH(QString, kind);
        const QJsonObject first = m_Server.records(device, kind, 30);
        const QVector<qint64> summary = sums(first);
        const int pmax = first["page"].toObject()["pmax"].toInt();
        QVERIFY2(pmax >= 2 && pmax == (summary[0] + 9) / 10, qPrintable(QString::number(pmax)));
        QSet<QString> ids;
        qint64 fen = 0, refunded = 0;
        QString previous = QStringLiteral("99999999999999");
        for (int page = 1; page <= pmax; ++page) {
            const QJsonObject current = m_Server.records(device, kind, 30, page);
            const int np = current["page"].toObject()["np"].toInt();
            QCOMPARE(np, page < pmax ? 9 : int(summary[0] - 1) % 10);
            for (int i = 0; i <= np; ++i) {
                const QJsonObject record = current[QString::number(i)].toObject();
                QCOMPARE(record["device_info"].toString(), device.section('_', 1));
                QVERIFY(record["time_end"].toString() <= previous);
                previous = record["time_end"].toString();
                ids.insert(record["id"].toString());
                fen += record[kind == "payport" ? "total_fee" : "refunds"].toString().toLongLong();
                refunded += record["refunds"].toString().toLongLong();
            }
        }
        QCOMPARE(ids.size(), int(summary[0]));
        QCOMPARE(fen, summary[1]);
        QCOMPARE(refunded, summary.value(2, fen));
    }

    // A payment that waits for the customer is paid a second later, as either channel's query finds;
    // a code ending 8888 never is.
    void confirmation_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("code");
        row("wechat", "kesto", "wxQuery", "104000000000030000");
        row("alipay never", "AliPay", "AliQuery", "264000000000038888");
    }
    void confirmation()
    {
        QFETCH(QString, path);
        QFETCH(QString, query);
        QFETCH(QString, code);
        const QString waiting = QStringLiteral("等待用户验证密码");
        const QJsonObject sale = m_Server.pay(path, code, "6.6");
        QCOMPARE(sale["msg"].toString(), waiting);
        const QString fields = "drive=1&out_trade_no=" + sale["out_trade_no"].toString();
        QCOMPARE(m_Server.call(query, fields)["msg"].toString(), waiting);
        QTest::qWait(1300);
        QCOMPARE(values(m_Server.call(query, fields), {"out_trade_no", "total_fee", "msg"}),
                 values(sale, {"out_trade_no", "total_fee"}) + " " +
                     (code.endsWith("8888") ? waiting : Paid));
    }

    // Every kind of refusal is answered with 200 where the client reads that path's message, with
    // nothing charged or refunded at the first till; a refused code with retry set still pays. Capitals
    // stand for fresh 10-yuan orders there: WX a WeChat one (code WXCODE), ALI an Alipay one, UNPAID
    // one that waits forever; and for a wrong password, a range of days and 1 MB.
    void refusal_data()
    {
        static const Refused rows[] = {
            {"used code", "kesto", "codes=WXCODE&price=1&drive=1", "已使用", false},
            {"declined", "kesto", "codes=151000000000019999&price=5&drive=1", "余额不足", false},
            {"bad amount", "AliPay", "codes=282000000000000002&price=1.005&drive=1", "金额无效", true},
            {"other device name", "AliPay", "codes=282000000000000005&price=1&drive=1_收银台2", "设备", true},
            {"invalid UTF-8", "kesto", "codes=131212121212121212&price=1&drive=1_\xff", "UTF-8", true},
            {"1 MB", "kesto", "codes=131212121212121213&price=1&drive=1&pad=PAD", "过长", true},
            {"query of another channel", "AliQuery", "out_trade_no=WXNO&drive=1", "不是支付宝订单", false},
            {"lookup injected", "GetOrders", "out_trade_no=' OR '1'='1&device=1", "订单不存在", false},
            {"lookup unpaid", "GetOrders", "out_trade_no=UNPAID&device=1", "尚未支付", false},
            {"refund one fen over", "mrefunding", "out_trade_no=WXNO&refmoney=10.01", "超过可退", false},
            {"refund of another channel", "mrefunding", "out_trade_no=ALINO&refmoney=1", "不是微信", false},
            {"refund unpaid", "mrefunding", "out_trade_no=UNPAID&refmoney=1", "尚未支付", false},
            {"refund elsewhere", "alirefunds", "trade_no=ALIID&device=2&refmoney=1", "不是在设备", false},
            {"records bad start", "mreport", "device=1&startime=2020/2/30&paytype=payport", "开始日期",
             false},
            {"records past the end", "mreport", "device=1&DAYS&paytype=payrefunds&p=500", "退款", false},
            {"devices, wrong password", "mdevices", "WRONG", "用户名或密码错误", false},
            {"records, wrong password", "mreport", "WRONG", "用户名或密码错误", false},
            {"sale, wrong password", "kesto", "WRONG&codes=131111111111111111", "用户名或密码错误", true},
        };
        addRows(rows);
    }
    void refusal()
    {
        QFETCH(Refused, row);
        const QString wxCode = freshCode("11");
        const QJsonObject wechat = m_Server.pay("kesto", wxCode, "10");
        const QJsonObject alipay = m_Server.pay("AliPay", freshCode("26"), "10");
        const QList<QPair<QByteArray, QString>> words{
            {"WXCODE", wxCode},
            {"WXNO", wechat["out_trade_no"].toString()},
            {"ALINO", alipay["out_trade_no"].toString()},
            {"ALIID", alipay["transaction_id"].toString()},
            {"UNPAID", m_Server.pay("kesto", freshCode("12", "8888"), "10")["out_trade_no"].toString()},
            {"WRONG", "username=demo&password=wrong"},
            {"DAYS", "startime=2020/1/1&endtime=2030/1/1"},
            {"PAD", QString(1 << 20, 'x')}};
        QByteArray fields = row.fields;
        for (const auto &word : words)
            fields.replace(word.first, word.second.toUtf8());
        const QJsonObject before = m_Server.records(Front, "payport", 30)["total"].toObject();
        int status = 0;
        const QString path = row.path;
        const QJsonObject reply = m_Server.post(path, fields, &status);
        QCOMPARE(status, 200);
        const QString at = path == "mreport" ? "list.total.tongji" : path == "mdevices" ? "msg" : "call.msg";
        QJsonValue shown = reply;
        for (const QString &key : at.split('.'))
            shown = shown.toObject()[key];
        QVERIFY2(shown.toString().contains(QString::fromUtf8(row.message)),
                 QJsonDocument(reply).toJson().constData());
        QCOMPARE(reply["call"].toObject()["out_trade_no"].toString(), QString());
        QVERIFY(reply["devices"].toObject().isEmpty() && !reply["list"].toObject().contains("0"));
        QCOMPARE(m_Server.records(Front, "payport", 30)["total"].toObject(), before);
        const QString code = QRegularExpression("codes=(\\d+)").match(fields).captured(1);
        if (row.retry)
            QCOMPARE(m_Server.pay(path, code, "1")["msg"].toString(), Paid);
    }

    // A second server on a busy port (once it could bind it) ends with 1 and never listens.
    void busyPortRefused()
    {
        QTemporaryDir dir;
        QProcess second;
        const QString port = QString::number(QUrl(m_Server.baseUrl()).port());
        second.start(PAYMENT_SERVER, {"--port", port, "--db", dir.filePath("other.db")});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(!second.readAllStandardOutput().contains("listening"));
    }

    // Eight tills at once for a while: afterwards the records hold exactly the sales answered as
    // paid, each once, with exactly the refunds answered as made, and none above its sale.
    void eightTills()
    {
        const QVector<qint64> before = sums(m_Server.records(Front, "payport", 1));
        Ledger ledger;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(12);
        std::vector<std::thread> tills;
        for (int till = 0; till < 8; ++till)
            tills.emplace_back(runTill, std::cref(m_Server), std::ref(ledger), till, end);
        for (std::thread &till : tills)
            till.join();
        QVERIFY2(ledger.problems.isEmpty(), qPrintable(ledger.problems.mid(0, 10).join('\n')));
        QVERIFY(ledger.sharedCodes.size() >= 8 && ledger.refunded.size() >= 8 && ledger.refusedRefunds > 0);
        qint64 fen = 0, refunded = 0;
        for (const QJsonObject &sale : qAsConst(ledger.sales)) {
            fen += sale["total_fee"].toString().toLongLong();
            refunded += ledger.refunded.value(sale["out_trade_no"].toString());
        }
        QCOMPARE(added(before, sums(m_Server.records(Front, "payport", 1))),
                 QStringLiteral("%1 %2 %3").arg(ledger.sales.size()).arg(fen).arg(refunded));
    }

private:
    // A fresh code of the channel's prefix and the scenario's ending (none: paid at once).
    QString freshCode(const QString &prefix, const QString &ending = QString())
    {
        return prefix + QString::number(++m_Codes).rightJustified(16 - ending.size(), '0') + ending;
    }

    TestServer m_Server{{"--confirm-delay", "1"}};
    int m_Codes = 0;
};

QTEST_GUILESS_MAIN(ServiceTest)
#include "tst_service.moc"
