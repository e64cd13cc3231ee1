// Bad input of every kind gets a JSON refusal or a 404, never a crash or a damaged database, and
// eight clients paying at once lose nothing and pay no code twice.

#include "TestServer.h"

#include <QSet>
#include <QtTest>
#include <atomic>
#include <httplib.h>
#include <mutex>
#include <sqlite3.h>
#include <thread>

namespace {

const std::string report = TestServer::payInterface + "mreport";

QString firstMessage(const QJsonObject &reply)
{
    return reply["msg"].toString();
}

} // namespace

class RobustnessTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void missingFields_data();
    void missingFields();
    void hostileInput_data();
    void hostileInput();
    void invalidUtf8_data();
    void invalidUtf8();
    void oversizedBody();
    void unknownPath_data();
    void unknownPath();
    void concurrentPayments();

private:
    QString monthSummary() const
    {
        return m_server
            ->post(report, {{"device", "1"},
                            {"startime", Demo::daysAgo(30)},
                            {"endtime", Demo::today()},
                            {"paytype", "payport"},
                            {"p", "1"}})["list"]
            .toObject()["total"]
            .toObject()["tongji"]
            .toString();
    }

    std::unique_ptr<TestServer> m_server;
};

void RobustnessTest::initTestCase()
{
    m_server = std::make_unique<TestServer>();
    QVERIFY(m_server->isRunning());
}

void RobustnessTest::missingFields_data()
{
    QTest::addColumn<QString>("path");
    for (const char *path :
         {"mdevices", "mreport", "kesto", "AliPay", "wxQuery", "AliQuery", "GetOrders", "mrefunding"})
        QTest::newRow(path) << QStringLiteral("/index.php/Pay/Payinterface/") + QLatin1String(path);
    QTest::newRow("alirefunds") << "/index.php/pay/Payinterface/alirefunds";
}

void RobustnessTest::missingFields()
{
    QFETCH(QString, path);
    int status = 0;
    const QJsonObject reply =
        m_server->postRaw(path.toStdString(), "username=demo&password=demo123", &status);
    QCOMPARE(status, 200);
    if (path.endsWith(QLatin1String("mdevices"))) {
        QCOMPARE(reply["devices"].toObject().size(), 2);
        return;
    }
    QVERIFY2(!firstMessage(reply).isEmpty(), QJsonDocument(reply).toJson().constData());
    QVERIFY(reply["call"].toObject()["msg"] != QStringLiteral("支付成功"));
    QVERIFY(reply["call"].toObject()["msg"] != QStringLiteral("退款成功"));
}

void RobustnessTest::hostileInput_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fields");

    const QString pi = QStringLiteral("/index.php/Pay/Payinterface/");
    QTest::newRow("code") << pi + "kesto"
                          << "&codes=13'; DROP TABLE orders;--&price=1&drive=1";
    QTest::newRow("price") << pi + "kesto"
                           << "&codes=131313131313131313&price=1 OR 1=1&drive=1";
    QTest::newRow("device") << pi + "AliPay"
                            << "&codes=282828282828282828&price=1&drive=1' OR '1'='1";
    QTest::newRow("device with id") << pi + "AliPay"
                                    << "&codes=282828282828282829&price=1&drive=1_x' OR 1=1 --";
    QTest::newRow("trade number") << pi + "GetOrders"
                                  << "&out_trade_no=' OR '1'='1&device=1";
    QTest::newRow("trade wildcard") << pi + "wxQuery"
                                    << "&out_trade_no=%25&drive=1";
    QTest::newRow("refund number") << pi + "mrefunding"
                                   << "&out_trade_no=1' OR 1=1; --&refmoney=1";
    QTest::newRow("alipay refund") << "/index.php/pay/Payinterface/alirefunds"
                                   << "&trade_no=x'); DELETE FROM refunds; --&device=1&refmoney=1";
    QTest::newRow("report page")
        << pi + "mreport"
        << "&device=1&startime=2020/1/1&endtime=2030/1/1&paytype=payport&p=1; DROP TABLE x";
    QTest::newRow("report kind") << pi + "mreport"
                                 << "&device=1&startime=2020/1/1&endtime=2030/1/1&paytype=payport' --&p=1";
}

void RobustnessTest::hostileInput()
{
    QFETCH(QString, path);
    QFETCH(QString, fields);
    const QString before = monthSummary();
    int status = 0;
    const QJsonObject reply = m_server->postRaw(
        path.toStdString(),
        (QStringLiteral("username=demo&password=demo123") + fields).toUtf8().toStdString(), &status);
    QCOMPARE(status, 200);
    QVERIFY(!firstMessage(reply).isEmpty());
    QCOMPARE(reply["call"].toObject()["out_trade_no"].toString(), QString());
    QCOMPARE(monthSummary(), before);
}

void RobustnessTest::invalidUtf8_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("raw byte in device")
        << QByteArray("username=demo&password=demo123&codes=131212121212121212"
                      "&price=1&drive=1_\xff");
    QTest::newRow("escaped byte in password")
        << QByteArray("username=demo&password=demo%C3&codes=131212121212121212"
                      "&price=1&drive=1");
}

void RobustnessTest::invalidUtf8()
{
    QFETCH(QByteArray, body);
    const QJsonObject reply = m_server->postRaw(TestServer::payInterface + "kesto", body.toStdString());
    QVERIFY2(reply["call"].toObject()["msg"].toString().contains(QStringLiteral("UTF-8")),
             QJsonDocument(reply).toJson().constData());
    // The code was not consumed by the refused request.
    const QJsonObject paid =
        m_server->post(TestServer::payInterface + "kesto",
                       {{"codes", "131212121212121212"}, {"price", "1"}, {"drive", "1"}});
    QVERIFY(paid["call"].toObject()["msg"] == QStringLiteral("支付成功") ||
            paid["call"].toObject()["msg"].toString().contains(QStringLiteral("已使用")));
}

void RobustnessTest::oversizedBody()
{
    std::string body = "username=demo&password=demo123&codes=131111111111111111&price=1&drive=1&pad=";
    body.append(1024 * 1024, 'x');
    int status = 0;
    const QJsonObject reply = m_server->postRaw(TestServer::payInterface + "kesto", body, &status);
    QCOMPARE(status, 200);
    QVERIFY2(reply["call"].toObject()["msg"].toString().contains(QStringLiteral("过长")),
             QJsonDocument(reply).toJson().constData());
    QCOMPARE(reply["call"].toObject()["out_trade_no"].toString(), QString());
    // The server is still there.
    QCOMPARE(
        m_server->post(TestServer::payInterface + "getLogin", {})["status"].toObject()["login"].toString(),
        QStringLiteral("1"));
}

void RobustnessTest::unknownPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("get");
    QTest::newRow("root") << "/" << false;
    QTest::newRow("unknown name") << "/index.php/Pay/Payinterface/refundAll" << false;
    QTest::newRow("lower-case kesto") << "/index.php/pay/Payinterface/kesto" << false;
    QTest::newRow("upper-case alirefunds") << "/index.php/Pay/Payinterface/alirefunds" << false;
    QTest::newRow("trailing slash") << "/index.php/Pay/Payinterface/getLogin/" << false;
    QTest::newRow("get on a known path") << "/index.php/Pay/Payinterface/getLogin" << true;
}

void RobustnessTest::unknownPath()
{
    QFETCH(QString, path);
    QFETCH(bool, get);
    httplib::Client client("127.0.0.1", m_server->port());
    const auto reply = get ? client.Get(path.toStdString().c_str())
                           : client.Post(path.toStdString().c_str(), "username=demo&password=demo123",
                                         "application/x-www-form-urlencoded");
    QVERIFY(reply);
    QCOMPARE(reply->status, 404);
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body));
    QVERIFY(document.isObject());
    QVERIFY(!document.object()["msg"].toString().isEmpty());
}

void RobustnessTest::concurrentPayments()
{
    constexpr int clients = 8;
    constexpr int ownCodes = 25;
    constexpr int sharedCodes = 10;
    const QString today = Demo::today();
    const auto todayCount = [&] {
        const QString tongji = m_server
                                   ->post(report, {{"device", "2"},
                                                   {"startime", today},
                                                   {"endtime", today},
                                                   {"paytype", "payport"},
                                                   {"p", "1"}})["list"]
                                   .toObject()["total"]
                                   .toObject()["tongji"]
                                   .toString();
        return tongji.section(QStringLiteral("笔"), 0, 0).mid(2).toInt();
    };
    const int before = todayCount();

    std::mutex lock;
    QStringList tradeNumbers;
    std::atomic<int> ownPaid{0}, sharedPaid{0}, sharedUsed{0}, other{0};
    const int port = m_server->port();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", port);
            const auto pay = [&](const std::string &path, const QString &code) {
                const std::string body = "username=demo&password=demo123&codes=" + code.toStdString() +
                                         "&price=0.10&drive=2_%E6%94%B6%E9%93%B6%E5%8F%B02";
                const auto reply = client.Post(path.c_str(), body, "application/x-www-form-urlencoded");
                return reply ? QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))
                                   .object()["call"]
                                   .toObject()
                             : QJsonObject();
            };
            for (int i = 0; i < ownCodes + sharedCodes; ++i) {
                const bool shared = i % 4 == 0 && i / 4 < sharedCodes;
                const QString code = shared
                                         ? QStringLiteral("2999") + QString::number(i).rightJustified(14, '5')
                                         : QStringLiteral("14") + QString::number(c) +
                                               QString::number(i).rightJustified(15, '6');
                const QJsonObject call = pay(TestServer::payInterface + (shared ? "AliPay" : "kesto"), code);
                const QString msg = call["msg"].toString();
                if (msg == QStringLiteral("支付成功")) {
                    (shared ? sharedPaid : ownPaid)++;
                    std::lock_guard<std::mutex> guard(lock);
                    tradeNumbers << call["out_trade_no"].toString();
                } else if (shared && msg.contains(QStringLiteral("已使用"))) {
                    sharedUsed++;
                } else {
                    other++;
                }
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    const int sharedTried = qMin(sharedCodes, (ownCodes + sharedCodes + 3) / 4);
    const int ownTried = ownCodes + sharedCodes - sharedTried;
    QCOMPARE(other.load(), 0);
    QCOMPARE(ownPaid.load(), clients * ownTried);
    QCOMPARE(sharedPaid.load(), sharedTried);
    QCOMPARE(sharedUsed.load(), clients * sharedTried - sharedTried);
    const int paid = ownPaid + sharedPaid;
    QCOMPARE(QSet<QString>(tradeNumbers.begin(), tradeNumbers.end()).size(), paid);
    QCOMPARE(todayCount(), before + paid);

    // The file itself is sound after all of the above.
    QCOMPARE(m_server->stop(), 0);
    sqlite3 *db = nullptr;
    QCOMPARE(
        sqlite3_open_v2(m_server->databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
        SQLITE_OK);
    sqlite3_stmt *check = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_step(check), SQLITE_ROW);
    const QString result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(check, 0)));
    sqlite3_finalize(check);
    sqlite3_close(db);
    QCOMPARE(result, QStringLiteral("ok"));
}

QTEST_GUILESS_MAIN(RobustnessTest)
#include "tst_robustness.moc"
