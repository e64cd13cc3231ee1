// The service over real HTTP: a sale's life with its confirmation on either channel, the records,
// every kind of refusal, the door against requests cut short or framed oddly, the busy port, and
// eight tills at once.

#include "Database.h"
#include "paymentserver.h"
#include "rows.h"

#include <QJsonDocument>
#include <QTcpSocket>
#include <numeric>
#include <random>
#include <thread>

const QString Front = QStringLiteral("1_前台");
const QString Paid = QStringLiteral("支付成功");
const QString Refunded = QStringLiteral("退款成功");
const QString Waiting = QStringLiteral("等待用户验证密码");

struct Refused
{
    const char *tag;
    QString path, fields, message;
    bool retry;
};
Q_DECLARE_METATYPE(Refused)

class ServiceTest : public QObject
{
    Q_OBJECT

private slots:
    // A server that cannot serve as asked says why and ends before it makes a database: a busy port
    // (once it could bind it), an empty or unusable certificate or key. One on every address in
    // clear warns and serves.
    void start_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        const QString cert = m_Dir.filePath("cert.pem"), key = m_Dir.filePath("key.pem");
        const QString other = m_Dir.filePath("other.pem");
        const QStringList ec{"-newkey", "ec",    "-pkeyopt", "ec_paramgen_curve:prime256v1",
                             "-nodes",  "-subj", "/CN=x"};
        for (const QString &made : {cert, other + ".crt"}) {
            QProcess openssl;
            openssl.start("openssl",
                          QStringList{"req", "-x509", "-keyout", made == cert ? key : other, "-out", made} +
                              ec);
            QVERIFY(openssl.waitForFinished(10000));
        }
        row("port in use", QStringList{"--port", QString::number(m_Server.port()), "--db", ":memory:"}, 1,
            QString("cannot listen"));
        row("empty certificate", QStringList{"--tls-cert=", "--tls-key", key}, 2,
            QString("--tls-cert needs"));
        row("missing certificate", QStringList{"--tls-cert", cert + "x", "--tls-key", key}, 1,
            cert + "x: No such file");
        row("certificate not PEM", QStringList{"--tls-cert", PAYMENT_SERVER, "--tls-key", key}, 1,
            QString("not a PEM certificate"));
        row("key of another certificate", QStringList{"--tls-cert", cert, "--tls-key", other}, 1,
            QString("does not match"));
        row("every address in clear", QStringList{"--host", "0.0.0.0", "--port", "0"}, -1,
            QString("passwords and payments will cross the network readable"));
    }
    void start()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        const QString database = m_Dir.filePath(QTest::currentDataTag());
        QProcess server;
        server.start(PAYMENT_SERVER, QStringList{"--db", database} + options);
        if (exitCode < 0) {
            QVERIFY(server.waitForReadyRead(10000) &&
                    server.readAllStandardOutput().startsWith("listening on"));
            server.terminate();
        }
        QVERIFY(server.waitForFinished(10000));
        QCOMPARE(server.exitCode(), std::max(exitCode, 0));
        QVERIFY(QString::fromUtf8(server.readAllStandardError()).contains(error));
        QCOMPARE(QFile::exists(database), exitCode < 0);
    }

    // Passwords set from the command line for the demo account and for a new one with a till; an
    // old-form hash replaced at the next correct sign-in; wrong passwords slowing that account only.
    void accounts()
    {
        PaymentServer server;
        QCOMPARE(setPassword(server, "demo", "n3w-Pass\n"), 0);
        QCOMPARE(setPassword(server, "shop2", "s2\r\n"), 0);
        QCOMPARE(setPassword(server, "shop3", ""), 2);
        QCOMPARE(signIn(server, "demo", "demo123") + signIn(server, "demo", "n3w-Pass") +
                     signIn(server, "shop2", "s2") + signIn(server, "shop3", ""),
                 QStringLiteral("用户名或密码错误订单不存在：1订单不存在：1用户名或密码错误"));

        Database database(server.databasePath());
        const auto demoHash = [&database] {
            return database.read([](sqlite3 *db) {
                Statement hash(db, "SELECT password_hash FROM merchants WHERE username = 'demo'");
                return hash.step() ? hash.text(0) : QString();
            });
        };
        database.write([](sqlite3 *db) {
            Statement old(db, "UPDATE merchants SET salt = 'ab', password_hash = ? WHERE username = 'demo'");
            old.bind(1, QString(QCryptographicHash::hash("abold", QCryptographicHash::Sha256).toHex())).run();
            return true;
        });
        QCOMPARE(signIn(server, "demo", "old") + signIn(server, "demo", "old"),
                 QStringLiteral("订单不存在：1").repeated(2));
        QVERIFY2(demoHash().startsWith("pbkdf2-sha256$"), qPrintable(demoHash()));

        for (int i = 0; i < 5; ++i)
            signIn(server, "shop2", "wrong");
        QElapsedTimer timer;
        timer.start();
        signIn(server, "shop2", "wrong");
        QVERIFY(timer.restart() >= 1000);
        QCOMPARE(signIn(server, "demo", "old"), QStringLiteral("订单不存在：1"));
        QVERIFY(timer.elapsed() < 1000);
    }

    // A sale at the second till that waits for the customer, paid a second later as its channel's
    // query finds, looked up from the first till, refunded in parts up to its amount, then on top of its
    // till's records, whose pages add up.
    void saleConfirmedAndRefunded_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("drive");
        row("wechat, encoded device", "kesto", "2_%E6%94%B6%E9%93%B6%E5%8F%B02");
        row("alipay, bare device id", "AliPay", "2");
    }
    void saleConfirmedAndRefunded()
    {
        QFETCH(QString, path);
        QFETCH(QString, drive);
        const QString paid = sums(records("2", "payport")), refunded = sums(records("2", "payrefunds"));
        const QJsonObject waiting = pay(path, freshCode(path == "kesto" ? "11" : "28", "0000"), "10", drive);
        const QString lookup = "device=1&out_trade_no=" + waiting["out_trade_no"].toString();
        const QString query = path == "kesto" ? "wxQuery" : "AliQuery";
        QCOMPARE(waiting["msg"].toString() + post(query, lookup)["msg"].toString(), Waiting + Waiting);
        QTest::qWait(1300);
        const QJsonObject sale = post(query, lookup);
        QCOMPARE(values(sale, {"msg", "payt", "total_fee", "device_info", "mchname", "mchid"}),
                 Paid + (path == "kesto" ? " Kesto" : " AliPay") + " 1000 收银台2 演示商户 10001");
        const auto order = {"out_trade_no", "transaction_id", "payt", "time_end", "device_info", "total_fee"};
        QCOMPARE(values(post("GetOrders", lookup), order), values(sale, order));

        QCOMPARE(refund(sale, "3.33")["msg"].toString(), Refunded);
        QCOMPARE(post("GetOrders", lookup)["refunds"].toString(), QStringLiteral("333"));
        QCOMPARE(refund(sale, "6.67")["refund_fee"].toString(), QStringLiteral("667"));
        QVERIFY(refund(sale, "0.01")["msg"].toString().contains("已全额退款"));

        const QJsonObject first = records("2", "payport");
        QCOMPARE(sums(first, paid), QStringLiteral("1 1000 1000"));
        QCOMPARE(values(first["0"].toObject(), {"out_trade_no", "refunds"}),
                 sale["out_trade_no"].toString() + " 1000");
        QCOMPARE(sums(records("2", "payrefunds"), refunded), QStringLiteral("2 1000"));
        QCOMPARE(values(records("2", "payrefunds")["0"].toObject(), {"transaction_id", "refunds"}),
                 sale["transaction_id"].toString() + " 667");

        // Every page of the till's payments, each of them once, newest first, adding up to the summary.
        const int pmax = first["page"]["pmax"].toInt();
        QVERIFY(pmax >= 2 && pmax == (sums(first).section(' ', 0, 0).toInt() + 9) / 10);
        QStringList times;
        qint64 fen = 0;
        for (int page = 1; page <= pmax; ++page) {
            const QJsonObject current = records("2", "payport", page);
            for (int i = 0; i <= current["page"]["np"].toInt(); ++i) {
                times << current[QString::number(i)]["time_end"].toString();
                fen += current[QString::number(i)]["total_fee"].toString().toLongLong();
            }
        }
        QVERIFY(std::is_sorted(times.rbegin(), times.rend()));
        QCOMPARE(QStringLiteral("%1 %2").arg(times.size()).arg(fen), sums(first).section(' ', 0, 1));
    }

    // Every kind of refusal is answered where the client reads that path's message, with nothing
    // charged or refunded at the first till; a refused code with retry set still pays. The orders
    // refused are 10-yuan ones there: a WeChat one, an Alipay one, and one that waits forever.
    void refusal_data()
    {
        const QString wxCode = freshCode("11"), wx = pay("kesto", wxCode, "10")["out_trade_no"].toString();
        const QJsonObject ali = pay("AliPay", freshCode("26"), "10");
        const QString aliNo = ali["out_trade_no"].toString(), aliId = ali["transaction_id"].toString();
        const QString unpaid = pay("kesto", freshCode("12", "8888"), "10")["out_trade_no"].toString();
        const Refused rows[] = {
            {"used code", "kesto", "codes=" + wxCode + "&price=1&drive=1", "已使用", false},
            {"declined", "kesto", "codes=151000000000019999&price=5&drive=1", "余额不足", false},
            {"bad amount", "AliPay", "codes=282000000000000002&price=1.005&drive=1", "金额无效", true},
            {"amount and a newline", "kesto", "codes=131212121212121214&price=1%0A&drive=1", "金额无效",
             true},
            {"other device name", "AliPay", "codes=282000000000000005&price=1&drive=1_收银台2", "设备", true},
            {"invalid UTF-8", "kesto", "codes=131212121212121212&price=1&drive=1_%FF", "UTF-8", true},
            {"1 MB", "kesto", "codes=131212121212121213&pad=" + QString(1 << 20, 'x'), "过长", true},
            {"wrong password", "kesto", "password=x&codes=131111111111111111", "密码错误", true},
            {"query of another channel", "AliQuery", "out_trade_no=" + wx, "不是支付宝订单", false},
            {"lookup injected", "GetOrders", "out_trade_no=' OR '1'='1&device=1", "订单不存在", false},
            {"lookup of a long number", "GetOrders", "out_trade_no=" + QString(300, '7'), "订单不存在",
             false},
            {"lookup unpaid", "GetOrders", "out_trade_no=" + unpaid, "尚未支付", false},
            {"refund one fen over", "mrefunding", "out_trade_no=" + wx + "&refmoney=10.01", "超过", false},
            {"refund of alipay order", "mrefunding", "out_trade_no=" + aliNo + "&refmoney=1", "微信", false},
            {"refund unpaid", "mrefunding", "out_trade_no=" + unpaid + "&refmoney=1", "尚未支付", false},
            {"refund elsewhere", "alirefunds", "trade_no=" + aliId + "&device=2&refmoney=1", "在设备", false},
            {"records bad start", "mreport", "startime=2020/2/30&paytype=payport", "开始日期", false},
        };
        addRows(rows);
    }
    void refusal()
    {
        QFETCH(Refused, row);
        const QString before = sums(records(Front, "payport"));
        const QJsonObject reply = post(row.path, row.fields);
        const QString shown = (row.path == "mreport" ? reply["total"]["tongji"] : reply["msg"]).toString();
        QVERIFY2(shown.contains(row.message) && shown.size() < 80, qUtf8Printable(shown));
        QVERIFY(reply["out_trade_no"].toString().isEmpty() && !reply.contains("0"));
        QCOMPARE(sums(records(Front, "payport"), before), QStringLiteral("0 0 0"));
        const QString code = QRegularExpression("codes=(\\d+)").match(row.fields).captured(1);
        if (row.retry)
            QCOMPARE(pay(row.path, code, "1")["msg"].toString(), Paid);
    }

    // The door: a refund cut short, by a closed connection or by one that stalls, changes nothing;
    // requests framed in a way the service does not read are turned away with a JSON body in the
    // path's shape; a held database answers in that shape too; and idle connections, slow senders
    // and held replies delay no other client.
    void door()
    {
        const QString tradeNo = m_Server.paidOrder("kesto", freshCode("13"), "12.34");
        const QString before = sums(records(Front, "payrefunds"));
        const QByteArray refund = "username=demo&password=demo123&out_trade_no=" + tradeNo.toLatin1() +
                                  "&total_fee=12.34&refmoney=12.34";
        QTcpSocket stalled, cut;
        send(stalled, "mrefunding", {}, refund, refund.size() - 4);
        send(cut, "mrefunding", {}, refund, refund.size() - 4);
        cut.disconnectFromHost();

        const QByteArray form = "Content-Type: application/x-www-form-urlencoded\r\n";
        const QList<QPair<QByteArray, QByteArray>> framings{
            {"411", form},
            {"400", form + "Content-Length: 5\r\nContent-Length: 6\r\n"},
            {"400", form + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n"},
            {"413", form + "Content-Length: 70000\r\n"},
            {"415", form + "Content-Length: 5\r\nContent-Encoding: gzip\r\n"},
            {"415", "Content-Type: multipart/form-data; boundary=x\r\nContent-Length: 5\r\n"},
        };
        for (const auto &[status, headers] : framings) {
            QTcpSocket socket;
            send(socket, "mrefunding", headers, "a=b&c", 5);
            QVERIFY2(isJsonRefusal(answerOf(socket), status), headers.constData());
        }

        QVector<QTcpSocket *> load;
        for (int i = 0; i < 16; ++i) {
            load << new QTcpSocket(this) << new QTcpSocket(this) << new QTcpSocket(this);
            load[3 * i]->connectToHost("127.0.0.1", m_Server.port());
            send(*load[3 * i + 1], "getLogin", "Content-Length: 100\r\n", "username=demo", 13);
            send(*load[3 * i + 2], "kesto", {},
                 "username=demo&password=demo123&price=1&drive=1&codes=" + freshCode("14", "7777").toLatin1(),
                 -1);
        }
        QTest::qWait(500);
        QElapsedTimer signedIn;
        signedIn.start();
        QCOMPARE(post("GetOrders", "out_trade_no=" + tradeNo)["out_trade_no"].toString(), tradeNo);
        QVERIFY2(signedIn.elapsed() < 1000, qPrintable(QString::number(signedIn.elapsed())));
        qDeleteAll(load);

        Database held(m_Server.databasePath());
        const QJsonObject busy = held.write([this](sqlite3 *) { return pay("kesto", freshCode("13"), "1"); });
        QCOMPARE(busy["msg"].toString(), QStringLiteral("服务器内部错误"));

        QVERIFY(isJsonRefusal(answerOf(stalled), "400"));
        QCOMPARE(post("GetOrders", "out_trade_no=" + tradeNo)["refunds"].toString(), QStringLiteral("0"));
        QCOMPARE(sums(records(Front, "payrefunds"), before), QStringLiteral("0 0"));
    }

    // Eight tills at once for a while, each scanning the same codes in turn (either channel) and
    // refunding part of the newest sale, as the others do: afterwards each code is paid once, no sale
    // refunded above its amount, and the records hold exactly what the tills were answered.
    void eightTills()
    {
        const QString before = sums(records(Front, "payport"));
        std::mutex lock;
        QVector<QJsonObject> sales;
        QStringList codes, problems;
        QHash<QString, qint64> refunded; // by trade number
        qint64 paid = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(12);
        const auto till = [&](int number) {
            std::mt19937 random(number);
            for (int n = 0; std::chrono::steady_clock::now() < end; ++n) {
                const auto code = (n % 2 ? "259" : "159") + QString::number(n).rightJustified(14, '0') + "1";
                const qint64 fen = 1 + random() % 50000;
                const QJsonObject sale = pay(n % 2 ? "AliPay" : "kesto", code, yuan(fen));
                std::unique_lock<std::mutex> guard(lock);
                if (sale["msg"] == Paid && sale["total_fee"] == QString::number(fen)) {
                    sales << sale;
                    codes << code;
                    paid += fen;
                } else if (!sale["msg"].toString().contains("已使用")) {
                    problems << "payment answered " + sale["msg"].toString();
                }
                if (sales.isEmpty())
                    continue;
                const QJsonObject order = sales.last();
                const qint64 amount = 1 + random() % order["total_fee"].toString().toLongLong();
                guard.unlock();
                const QJsonObject answer = refund(order, yuan(amount));
                guard.lock();
                // Made, it must stay within the sale; refused, only for what is left.
                const QString tradeNo = order["out_trade_no"].toString(), msg = answer["msg"].toString();
                const bool made = msg == Refunded && answer["refund_fee"] == QString::number(amount);
                if (made ? (refunded[tradeNo] += amount) > order["total_fee"].toString().toLongLong()
                         : !msg.contains("超过可退") && !msg.contains("已全额退款"))
                    problems << "refund of " + tradeNo + " answered " + msg;
            }
        };
        std::vector<std::thread> tills;
        for (int number = 0; number < 8; ++number)
            tills.emplace_back(till, number);
        for (std::thread &till : tills)
            till.join();
        QVERIFY2(problems.isEmpty(), qUtf8Printable(problems.mid(0, 10).join('\n')));
        QVERIFY(refunded.size() >= 8);
        QCOMPARE(codes.removeDuplicates(), 0);
        const qint64 refundedFen = std::accumulate(refunded.begin(), refunded.end(), qint64(0));
        QCOMPARE(sums(records(Front, "payport"), before),
                 QStringLiteral("%1 %2 %3").arg(sales.size()).arg(paid).arg(refundedFen));
    }

private:
    // A POST to the path with these extra headers (none: the body's length), of which only the
    // first `sent` bytes of the body leave (-1: all).
    void send(QTcpSocket &socket, const QString &path, const QByteArray &headers, const QByteArray &body,
              int sent) const
    {
        socket.connectToHost("127.0.0.1", m_Server.port());
        QVERIFY(socket.waitForConnected(5000));
        const QByteArray framing =
            headers.isEmpty() ? "Content-Length: " + QByteArray::number(body.size()) + "\r\n" : headers;
        socket.write("POST /index.php/Pay/Payinterface/" + path.toLatin1() + " HTTP/1.1\r\nHost: till\r\n" +
                     framing + "\r\n" + body.left(sent < 0 ? body.size() : sent));
        QVERIFY(socket.waitForBytesWritten(5000));
    }
    // Everything the service sends until it closes the connection (at most 15 s).
    static QByteArray answerOf(QTcpSocket &socket)
    {
        QElapsedTimer waited;
        waited.start();
        while (socket.state() == QAbstractSocket::ConnectedState && waited.elapsed() < 15000)
            socket.waitForReadyRead(500);
        return socket.readAll();
    }
    // A reply of this status whose body holds the refusal where the till reads it, and no exception text.
    static bool isJsonRefusal(const QByteArray &reply, const QByteArray &status)
    {
        const QByteArray body = reply.mid(reply.indexOf("\r\n\r\n") + 4);
        return reply.startsWith("HTTP/1.1 " + status) && !reply.contains("EXCEPTION") &&
               !QJsonDocument::fromJson(body)["call"]["msg"].toString().isEmpty();
    }

    static int setPassword(const PaymentServer &server, const QString &username, const QByteArray &input)
    {
        QProcess process;
        process.start(PAYMENT_SERVER, {"--db", server.databasePath(), "--set-password", username});
        process.write(input);
        process.closeWriteChannel();
        return process.waitForFinished(10000) ? process.exitCode() : -1;
    }
    // What a lookup of order 1 is answered with this name and password.
    static QString signIn(const PaymentServer &server, const QString &username, const QString &password)
    {
        return server
            .post("GetOrders", "username=" + username + "&password=" + password + "&out_trade_no=1")["msg"]
            .toString();
    }
    // The count and sums in fen of a summary ("支付81笔，合计19829.90元，已退款12.00元"), less earlier ones.
    static QString sums(const QJsonObject &list, const QString &earlier = QString())
    {
        QStringList numbers;
        auto match = QRegularExpression("\\d+").globalMatch(list["total"]["tongji"].toString().remove('.'));
        for (int i = 0; match.hasNext(); ++i)
            numbers << QString::number(match.next().captured().toLongLong() -
                                       earlier.section(' ', i, i).toLongLong());
        return numbers.join(' ');
    }
    static QString yuan(qint64 fen) { return QString::number(fen / 100.0, 'f', 2); }
    static QString values(const QJsonObject &object, std::initializer_list<const char *> keys)
    {
        QStringList texts;
        for (const char *key : keys)
            texts << object[key].toString();
        return texts.join(' ');
    }

    QJsonObject post(const QString &path, const QString &fields) const { return m_Server.post(path, fields); }
    QJsonObject pay(const QString &path, const QString &code, const QString &price,
                    const QString &drive = Front) const
    {
        return post(path, QStringLiteral("codes=%1&price=%2&drive=%3").arg(code, price, drive));
    }
    // As the refund window sends it: WeChat by trade number and amount, Alipay by transaction and till.
    QJsonObject refund(const QJsonObject &order, const QString &amount) const
    {
        if (order["payt"] == "Kesto")
            return post("mrefunding", "out_trade_no=" + order["out_trade_no"].toString() +
                                          "&total_fee=" + yuan(order["total_fee"].toString().toLongLong()) +
                                          "&refmoney=" + amount);
        return post("alirefunds", "trade_no=" + order["transaction_id"].toString() +
                                      "&device=" + order["device_info"].toString() + "&refmoney=" + amount);
    }
    // A page of all the records, the two ends in both forms of a day, and their summary.
    QJsonObject records(const QString &device, const QString &kind, int page = 1) const
    {
        return post("mreport", "device=" + device + "&startime=2000-01-01&endtime=2099/12/31&paytype=" +
                                   kind + "&p=" + QString::number(page));
    }
    // A fresh code of the channel's prefix and the scenario's ending (none: paid at once).
    QString freshCode(const QString &prefix, const QString &ending = QString())
    {
        return prefix + QString::number(++m_Codes).rightJustified(16 - ending.size(), '0') + ending;
    }

    QTemporaryDir m_Dir;
    PaymentServer m_Server{{"--confirm-delay", "1"}};
    int m_Codes = 0;
};

QTEST_GUILESS_MAIN(ServiceTest)
#include "tst_service.moc"
