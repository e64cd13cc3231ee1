// The service over real HTTP: payments and their refusals, confirmation, lookups, refunds and
// records, the account check of every path, and input that must be refused without harm; and the
// executable: refusals to start, the held reply on stop, and persistence across a restart.

#include "TestServer.h"

#include <QSet>
#include <QTemporaryDir>
#include <future>

namespace {

const QString Paid = QStringLiteral("支付成功");
const QString Waiting = QStringLiteral("等待用户验证密码");
const QString Refunded = QStringLiteral("退款成功");

} // namespace

struct Payment
{
    const char *tag;
    const char *path;
    const char *code;
    const char *price;
    const char *drive;
    const char *msg;   // the message, or a part of a refusal
    const char *order; // its amount in fen and its device; nullptr: refused
    bool retry;        // a refused code that must still pay
};
struct Refusal
{
    const char *tag;
    const char *path;
    const char *order; // "wechat", "alipay", "waiting" (a fresh order of 10 yuan) or a trade number
    const char *device;
    const char *amount;
    const char *msg;
};
struct Checked
{
    const char *tag;
    std::string path;
    const char *fields;
    const char *messageAt; // where the client reads the refusal
};
Q_DECLARE_METATYPE(Payment)
Q_DECLARE_METATYPE(Refusal)
Q_DECLARE_METATYPE(Checked)

class ServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_Server.isRunning()); }

    void payment_data()
    {
        static const Payment rows[] = {
            {"wechat", "kesto", "131000000000000001", "12.5", "1_前台", "支付成功", "1250 前台", false},
            {"alipay, bare device id", "AliPay", "281000000000000001", "0.01", "2", "支付成功", "1 收银台2",
             false},
            {"encoded device", "kesto", "111000000000000002", "1", "2_%E6%94%B6%E9%93%B6%E5%8F%B02",
             "支付成功", "100 收银台2", false},
            {"waits", "AliPay", "301000000000010000", "8.88", "1_前台", "等待用户验证密码", "888 前台",
             false},
            {"slow reply", "kesto", "141000000000017777", "7.77", "1_前台", "支付成功", "777 前台", false},
            {"declined", "kesto", "151000000000019999", "5", "1_前台", "余额不足", nullptr, false},
            {"alipay code on wechat", "kesto", "282000000000000001", "1", "1_前台", "支付宝付款码", nullptr,
             false},
            {"invalid code", "kesto", "162000000000000001", "1", "1_前台", "付款码无效", nullptr, false},
            {"bad amount", "AliPay", "282000000000000002", "1.005", "1_前台", "金额无效", nullptr, true},
            {"unknown device", "kesto", "132000000000000005", "1", "9_仓库", "设备不存在", nullptr, true},
            // A code pays once, also when its first payment waits for the customer.
            {"used code", "kesto", "131000000000000001", "2", "1_前台", "已使用", nullptr, false},
            {"waiting code used", "AliPay", "301000000000010000", "2", "1_前台", "已使用", nullptr, false},
            {"device name mismatch", "AliPay", "282000000000000005", "1", "1_收银台2", "设备不存在", nullptr,
             true},
        };
        addRows(rows);
    }
    void payment()
    {
        QFETCH(Payment, row);
        const std::string path = Pi + row.path;
        const bool slow = QString(row.code).endsWith(QLatin1String("7777"));
        auto reply =
            std::async(std::launch::async, [&] { return pay(path, row.code, row.price, row.drive); });
        // Another till is served while a slow reply is held back.
        if (slow)
            QCOMPARE(pay(Pi + "kesto", freshCode("13"), "1")["msg"].toString(), Paid);
        if (slow)
            QVERIFY(reply.wait_for(std::chrono::milliseconds(300)) == std::future_status::timeout);
        const QJsonObject call = reply.get();
        QVERIFY2(call["msg"].toString().contains(QString::fromUtf8(row.msg)),
                 qPrintable(call["msg"].toString()));
        if (!row.order) {
            QCOMPARE(call["out_trade_no"].toString(), QString());
            if (row.retry)
                QCOMPARE(pay(path, row.code, "1")["msg"].toString(), Paid);
            return;
        }
        QVERIFY(QRegularExpression("^\\d{18}$").match(call["out_trade_no"].toString()).hasMatch());
        QCOMPARE(call["payt"].toString(), QString(row.path) == "kesto" ? "Kesto" : "AliPay");
        QCOMPARE(call["total_fee"].toString() + " " + call["device_info"].toString(),
                 QString::fromUtf8(row.order));
        QCOMPARE(call["mchname"].toString(), QStringLiteral("演示商户"));
        QCOMPARE(call["mchid"].toString(), QStringLiteral("10001"));
        if (call["msg"] == Paid)
            QVERIFY(qAbs(QDateTime::fromString(call["time_end"].toString(), "yyyyMMddHHmmss")
                             .secsTo(QDateTime::currentDateTime())) < 60);
    }

    // Waiting until the customer confirms a second later; 8888 never confirms. Until it is paid
    // the order cannot be looked up for a refund.
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
        const QJsonObject waiting = pay(Pi + path.toStdString(), code, "6.6");
        QCOMPARE(waiting["msg"].toString(), Waiting);
        const Fields fields{{"out_trade_no", waiting["out_trade_no"].toString()}, {"drive", Front}};
        QCOMPARE(m_Server.call(Pi + query.toStdString(), fields)["msg"].toString(), Waiting);
        QCOMPARE(lookup(waiting["out_trade_no"].toString())["out_trade_no"].toString(), QString());

        QTest::qWait(1300);
        const QJsonObject after = m_Server.call(Pi + query.toStdString(), fields);
        QCOMPARE(after["out_trade_no"], waiting["out_trade_no"]);
        QCOMPARE(after["msg"].toString(), code.endsWith("8888") ? Waiting : Paid);
        QCOMPARE(after["total_fee"].toString(), QStringLiteral("660"));
    }

    void refusedQuery_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("tradeNo");
        QTest::addColumn<QString>("drive");
        QTest::addColumn<QString>("message");
        row("unknown number", "wxQuery", "209901010000000001", Front, "订单不存在");
        row("wechat order on alipay", "AliQuery", "WECHAT", Front, "不是支付宝订单");
        row("unknown device", "wxQuery", "WECHAT", "7", "设备不存在");
    }
    void refusedQuery()
    {
        QFETCH(QString, path);
        QFETCH(QString, tradeNo);
        QFETCH(QString, drive);
        QFETCH(QString, message);
        if (tradeNo == "WECHAT")
            tradeNo = pay(Pi + "kesto", freshCode("13"), "1")["out_trade_no"].toString();
        const QString msg =
            m_Server.call(Pi + path.toStdString(), {{"out_trade_no", tradeNo}, {"drive", drive}})["msg"]
                .toString();
        QVERIFY2(msg.contains(message), qPrintable(msg));
    }

    // The lookup before a refund, by another device of the account as well.
    void orderLookup()
    {
        const QJsonObject paid = pay(Pi + "AliPay", freshCode("28"), "19.99", Second);
        const QJsonObject call = lookup(paid["out_trade_no"].toString(), Front);
        for (const char *key : {"out_trade_no", "transaction_id", "payt", "time_end", "device_info"})
            QCOMPARE(call[key], paid[key]);
        QCOMPARE(call["total_fee"].toString(), QStringLiteral("1999"));
        QCOMPARE(call["refunds"].toString(), QStringLiteral("0"));
        QVERIFY(lookup("209901010000000009")["msg"].toString().contains("订单不存在"));
    }

    // Partial refunds add up to the order's amount and not one fen more.
    void partialRefundsAddUp_data()
    {
        QTest::addColumn<bool>("alipay");
        row("wechat", false);
        row("alipay", true);
    }
    void partialRefundsAddUp()
    {
        QFETCH(bool, alipay);
        const QJsonObject order = payOrder(alipay, "10");
        QCOMPARE(refund(order, "3.33")["msg"].toString(), Refunded);
        QCOMPARE(lookup(order["out_trade_no"].toString())["refunds"].toString(), QStringLiteral("333"));
        QCOMPARE(refund(order, "6.67")["refund_fee"].toString(), QStringLiteral("667"));
        QVERIFY(refund(order, "0.01")["msg"].toString().contains("全额退款"));
        QCOMPARE(lookup(order["out_trade_no"].toString())["out_trade_no"].toString(), QString());

        const QJsonObject second = payOrder(alipay, "5");
        QCOMPARE(refund(second, "4.99")["msg"].toString(), Refunded);
        QVERIFY(refund(second, "0.02")["msg"].toString().contains("可退0.01元"));
        QCOMPARE(refund(second, "0.01")["msg"].toString(), Refunded);
    }

    void refusedRefund_data()
    {
        static const Refusal rows[] = {
            {"wechat more than paid", "mrefunding", "wechat", "", "10.01", "超过可退金额"},
            {"wechat bad amount", "mrefunding", "wechat", "", "0.001", "退款金额无效"},
            {"wechat path, alipay order", "mrefunding", "alipay", "", "1", "不是微信支付订单"},
            {"wechat unknown order", "mrefunding", "209901010000000001", "", "1", "订单不存在"},
            {"wechat unpaid order", "mrefunding", "waiting", "", "1", "尚未支付"},
            {"alipay path, wechat order", "alirefunds", "wechat", "1_前台", "1", "不是支付宝订单"},
            {"alipay other device", "alirefunds", "alipay", "2_收银台2", "1", "不是在设备"},
        };
        addRows(rows);
    }
    void refusedRefund()
    {
        QFETCH(Refusal, row);
        const QString kind = row.order;
        QJsonObject order{{"out_trade_no", kind}, {"transaction_id", kind}};
        if (kind == "waiting")
            order = pay(Pi + "kesto", "119999999999990000", "10");
        else if (kind == "wechat" || kind == "alipay")
            order = payOrder(kind == "alipay", "10");
        const QJsonObject call =
            QString(row.path) == "mrefunding"
                ? m_Server.call(Pi + row.path, {{"out_trade_no", order["out_trade_no"].toString()},
                                                {"total_fee", "10"},
                                                {"refmoney", row.amount}})
                : m_Server.call(AliRefund, {{"trade_no", order["transaction_id"].toString()},
                                            {"device", QString::fromUtf8(row.device)},
                                            {"refmoney", row.amount}});
        QVERIFY2(call["msg"].toString().contains(QString::fromUtf8(row.msg)),
                 qPrintable(call["msg"].toString()));
        if (kind == "wechat" || kind == "alipay")
            QCOMPARE(lookup(order["out_trade_no"].toString())["refunds"].toString(), QStringLiteral("0"));
    }

    // Every page of a month of seeded records: newest first, each record once, and the records add
    // up to the summary line.
    void allPagesAddUp_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("kind");
        row("payments", Front, "payport");
        row("refunds", Second, "payrefunds");
    }
    void allPagesAddUp()
    {
        QFETCH(QString, device);
        QFETCH(QString, kind);
        const QJsonObject first = m_Server.records(device, daysAgo(30), today(), kind);
        const Summary summary = parseSummary(first["total"].toObject()["tongji"].toString());
        const int pmax = first["page"].toObject()["pmax"].toInt();
        QVERIFY2(pmax >= 2, qPrintable(first["total"].toObject()["tongji"].toString()));
        QCOMPARE(pmax, (summary.count + 9) / 10);

        QSet<QString> ids;
        qint64 fen = 0;
        QString previous = QStringLiteral("99999999999999");
        for (int page = 1; page <= pmax; ++page) {
            const QJsonObject current =
                m_Server.records(device, daysAgo(30), today(), kind, QString::number(page));
            const int np = current["page"].toObject()["np"].toInt();
            QCOMPARE(np, page < pmax ? 9 : (summary.count - 1) % 10);
            QVERIFY(!current.contains(QString::number(np + 1)));
            for (int i = 0; i <= np; ++i) {
                const QJsonObject record = current[QString::number(i)].toObject();
                QCOMPARE(record["device_info"].toString(), device.section('_', 1));
                QVERIFY(record["time_end"].toString() <= previous);
                previous = record["time_end"].toString();
                ids.insert(record["id"].toString());
                const qint64 total = record["total_fee"].toString().toLongLong();
                const qint64 refunded = record["refunds"].toString().toLongLong();
                QVERIFY(refunded >= 0 && refunded <= total);
                fen += kind == "payport" ? total : refunded;
            }
        }
        QCOMPARE(ids.size(), summary.count);
        QCOMPARE(fen, summary.fen);
    }

    // New sales and refunds appear at the top of today's records of their device, in the sums too.
    void newRecordsAppear()
    {
        const auto summary = [this](const QString &kind) {
            return parseSummary(
                m_Server.records(Second, today(), today(), kind)["total"].toObject()["tongji"].toString());
        };
        const Summary paidBefore = summary("payport");
        const Summary refundedBefore = summary("payrefunds");
        const QJsonObject wechat = payOrder(false, "20", Second);
        const QJsonObject alipay = payOrder(true, "123.45", Second);
        QCOMPARE(refund(wechat, "1.5")["msg"].toString(), Refunded);
        QCOMPARE(refund(alipay, "2.25")["msg"].toString(), Refunded);

        QCOMPARE(summary("payport").count, paidBefore.count + 2);
        QCOMPARE(summary("payport").fen, paidBefore.fen + 14345);
        QCOMPARE(summary("payrefunds").fen, refundedBefore.fen + 375);
        const QJsonObject payments = m_Server.records(Second, today(), today(), "payport");
        QCOMPARE(payments["0"].toObject()["out_trade_no"], alipay["out_trade_no"]);
        QCOMPARE(payments["0"].toObject()["refunds"].toString(), QStringLiteral("225"));
        const QJsonObject refunds = m_Server.records(Second, today(), today(), "payrefunds");
        QCOMPARE(refunds["0"].toObject()["transaction_id"], alipay["transaction_id"]);
        QCOMPARE(refunds["1"].toObject()["refunds"].toString(), QStringLiteral("150"));
        QCOMPARE(refunds["1"].toObject()["total_fee"].toString(), QStringLiteral("2000"));
        const QJsonObject front = m_Server.records(Front, today(), today(), "payport");
        for (int i = 0; i < 10; ++i)
            QVERIFY(front[QString::number(i)].toObject()["out_trade_no"] != alipay["out_trade_no"]);
    }

    void refusedRecords_data()
    {
        QTest::addColumn<QStringList>("request"); // device, from, to, kind, page
        QTest::addColumn<QString>("message");
        const QString from = daysAgo(30);
        row("unknown kind", QStringList{"1", from, today(), "payall", "1"}, "记录类型无效");
        row("bad start", QStringList{"1", "yesterday", today(), "payport", "1"}, "开始日期无效");
        row("reversed", QStringList{"1", today(), from, "payport", "1"}, "不能晚于");
        row("unknown device", QStringList{"3_后台", from, today(), "payport", "1"}, "设备不存在");
        row("page past the end", QStringList{"1", from, today(), "payrefunds", "500"}, "退款");
    }
    void refusedRecords()
    {
        QFETCH(QStringList, request);
        QFETCH(QString, message);
        const QJsonObject list = m_Server.records(request[0], request[1], request[2], request[3], request[4]);
        QCOMPARE(list["page"].toObject()["np"].toInt(), -1);
        QVERIFY(!list.contains("0"));
        QVERIFY2(list["total"].toObject()["tongji"].toString().contains(message),
                 qPrintable(list["total"].toObject()["tongji"].toString()));
    }

    // Every path checks the account, answers where the client reads it, and leaks nothing.
    void everyPathChecksTheAccount_data()
    {
        static const Checked rows[] = {
            {"mdevices", Pi + "mdevices", "", "msg"},
            {"getuser", "/index.php/Pay/Pays/getuser", "", "msg"},
            {"mreport", Pi + "mreport", "&device=1&startime=2020/1/1&endtime=2030/1/1&paytype=payport&p=1",
             "list.total.tongji"},
            {"kesto", Pi + "kesto", "&codes=131111111111111111&price=1&drive=1", "call.msg"},
            {"AliPay", Pi + "AliPay", "&codes=281111111111111111&price=1&drive=1", "call.msg"},
            {"wxQuery", Pi + "wxQuery", "&out_trade_no=1&drive=1", "call.msg"},
            {"AliQuery", Pi + "AliQuery", "&out_trade_no=1&drive=1", "call.msg"},
            {"GetOrders", Pi + "GetOrders", "&out_trade_no=1&device=1", "call.msg"},
            {"mrefunding", Pi + "mrefunding", "&out_trade_no=1&total_fee=1&refmoney=1", "call.msg"},
            {"alirefunds", AliRefund, "&trade_no=1&device=1&refmoney=1", "call.msg"},
        };
        addRows(rows);
    }
    void everyPathChecksTheAccount()
    {
        QFETCH(Checked, row);
        const QJsonObject reply =
            m_Server.postRaw(row.path, std::string("username=demo&password=wrong") + row.fields);
        QJsonValue value = reply;
        for (const QString &key : QString(row.messageAt).split('.'))
            value = value.toObject()[key];
        QCOMPARE(value.toString(), QStringLiteral("用户名或密码错误"));
        QVERIFY(!reply.contains("data") && reply["devices"].toObject().isEmpty());
        QCOMPARE(reply["call"].toObject()["out_trade_no"].toString(), QString());
    }

    // Missing fields, injection, invalid UTF-8 and a 1 MB body get a refusal: nothing is charged,
    // the records stay as they were, and the code is still unused.
    void hostileInput_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("fields");
        row("no fields", "kesto", QByteArray());
        row("code", "kesto", QByteArray("&codes=13'; DROP TABLE orders;--&price=1&drive=1"));
        row("price", "kesto", QByteArray("&codes=131313131313131313&price=1 OR 1=1&drive=1"));
        row("device", "AliPay", QByteArray("&codes=282828282828282829&price=1&drive=1_x' OR 1=1 --"));
        row("trade number", "GetOrders", QByteArray("&out_trade_no=' OR '1'='1&device=1"));
        row("refund", "mrefunding", QByteArray("&out_trade_no=1' OR 1=1; --&refmoney=1"));
        row("raw byte", "kesto", QByteArray("&codes=131212121212121212&price=1&drive=1_\xff"));
        row("1 MB", "kesto",
            QByteArray("&codes=131212121212121212&price=1&drive=1&pad=") + QByteArray(1 << 20, 'x'));
    }
    void hostileInput()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, fields);
        const QString before =
            m_Server.records("1", daysAgo(30), today(), "payport")["total"].toObject()["tongji"].toString();
        int status = 0;
        const QJsonObject reply = m_Server.postRaw(
            Pi + path.toStdString(), "username=demo&password=demo123" + fields.toStdString(), &status);
        QCOMPARE(status, 200);
        const QJsonObject call = reply["call"].toObject();
        QVERIFY2(!call["msg"].toString().isEmpty() && call["msg"] != Paid,
                 QJsonDocument(reply).toJson().constData());
        QCOMPARE(call["out_trade_no"].toString(), QString());
        QCOMPARE(
            m_Server.records("1", daysAgo(30), today(), "payport")["total"].toObject()["tongji"].toString(),
            before);
    }
    void hostileInputLeavesTheCodeUnused()
    {
        QCOMPARE(pay(Pi + "kesto", "131212121212121212", "1")["msg"].toString(), Paid);
    }

    // Bad options end with 2, a busy port (a second server once bound it) with 1; neither listens.
    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        row("unknown option", QStringList{"--colour"}, 2);
        row("positional", QStringList{"serve"}, 2);
        row("busy port", QStringList{"--port", "BUSY"}, 1);
    }
    void refusesToStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        TestServer first;
        QTemporaryDir dir;
        arguments.replaceInStrings("BUSY", QString::number(first.port()));
        QProcess second;
        second.start(PAYMENT_SERVER, arguments + QStringList{"--db", dir.filePath("other.db")});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), exitCode);
        QVERIFY(!second.readAllStandardOutput().contains("listening"));
    }

    void stopSendsTheHeldReply()
    {
        auto server = std::make_unique<TestServer>(QStringList{"--slow-reply", "600"});
        auto reply = std::async(std::launch::async, [&server] {
            return server->call(Pi + "kesto",
                                {{"codes", "131234567890127777"}, {"price", "1"}, {"drive", "1"}});
        });
        QTest::qWait(300);
        server.reset();
        QCOMPARE(reply.get()["msg"].toString(), QStringLiteral("支付成功"));
    }

    // Orders, refunds and a confirmation due while the service was down survive a restart; the
    // history is not seeded a second time.
    void persistsAcrossRestart()
    {
        QTemporaryDir dir;
        const QStringList database{"--db", dir.filePath("kept.db")};
        auto server = std::make_unique<TestServer>(database + QStringList{"--confirm-delay", "1"});
        const QJsonObject paid =
            server->call(Pi + "AliPay", {{"codes", "277777777777777771"}, {"price", "42"}, {"drive", Front}});
        const QJsonObject waiting =
            server->call(Pi + "kesto", {{"codes", "127777777777770000"}, {"price", "3"}, {"drive", Front}});
        QCOMPARE(waiting["msg"].toString(), QStringLiteral("等待用户验证密码"));
        QCOMPARE(server
                     ->call(AliRefund, {{"trade_no", paid["transaction_id"].toString()},
                                        {"device", "1"},
                                        {"refmoney", "12"}})["msg"]
                     .toString(),
                 QStringLiteral("退款成功"));
        const QJsonObject before = server->records(Front, daysAgo(30), today(), "payport");
        server.reset();
        QTest::qWait(1100);

        server = std::make_unique<TestServer>(database);
        const QJsonObject query = server->call(
            Pi + "AliQuery", {{"out_trade_no", paid["out_trade_no"].toString()}, {"drive", "1"}});
        for (const char *key : {"msg", "out_trade_no", "payt", "time_end", "total_fee", "mchname"})
            QCOMPARE(query[key], paid[key]);
        QCOMPARE(server
                     ->call(Pi + "GetOrders",
                            {{"out_trade_no", paid["out_trade_no"].toString()}, {"device", "1"}})["refunds"]
                     .toString(),
                 QStringLiteral("1200"));
        QCOMPARE(server
                     ->call(Pi + "wxQuery",
                            {{"out_trade_no", waiting["out_trade_no"].toString()}, {"drive", "1"}})["msg"]
                     .toString(),
                 QStringLiteral("支付成功"));
        const QJsonObject after = server->records(Front, daysAgo(30), today(), "payport");
        QCOMPARE(parseSummary(after["total"].toObject()["tongji"].toString()).count,
                 parseSummary(before["total"].toObject()["tongji"].toString()).count + 1);
        QCOMPARE(after["1"], before["0"]);
    }

private:
    QJsonObject pay(const std::string &path, const QString &code, const QString &price,
                    const QString &drive = Front)
    {
        return m_Server.call(path, {{"codes", code}, {"price", price}, {"drive", drive}});
    }
    // A fresh code of the channel's prefix that pays at once.
    QString freshCode(const QString &prefix)
    {
        return prefix + QString::number(++m_Codes).rightJustified(16, '3');
    }
    QJsonObject payOrder(bool alipay, const QString &price, const QString &device = Front)
    {
        return alipay ? pay(Pi + "AliPay", freshCode("26"), price, device)
                      : pay(Pi + "kesto", freshCode("11"), price, device);
    }
    // As the refund window sends it on each channel.
    QJsonObject refund(const QJsonObject &order, const QString &amount)
    {
        if (order["payt"].toString() == "Kesto")
            return m_Server.call(Pi + "mrefunding", {{"out_trade_no", order["out_trade_no"].toString()},
                                                     {"total_fee", order["total_fee"].toString()},
                                                     {"refmoney", amount}});
        return m_Server.call(AliRefund, {{"trade_no", order["transaction_id"].toString()},
                                         {"device", order["device_info"].toString()},
                                         {"refmoney", amount}});
    }
    QJsonObject lookup(const QString &tradeNo, const QString &device = "1")
    {
        return m_Server.call(Pi + "GetOrders", {{"out_trade_no", tradeNo}, {"device", device}});
    }

    TestServer m_Server{{"--confirm-delay", "1", "--slow-reply", "1"}};
    int m_Codes = 0;
};

QTEST_GUILESS_MAIN(ServiceTest)
#include "tst_service.moc"
