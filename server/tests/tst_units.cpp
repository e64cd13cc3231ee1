// The pure parts of the service: amounts, form bodies, payment codes, day texts and options.

#include "FormBody.h"
#include "Money.h"
#include "Options.h"
#include "PaymentCode.h"
#include "TimeText.h"

#include <QtTest>

class UnitsTest : public QObject
{
    Q_OBJECT

private slots:
    void parseYuan_data();
    void parseYuan();
    void formatYuan_data();
    void formatYuan();
    void decodeForm_data();
    void decodeForm();
    void utf8Check_data();
    void utf8Check();
    void paymentCode_data();
    void paymentCode();
    void parseDay_data();
    void parseDay();
    void options_data();
    void options();
};

void UnitsTest::parseYuan_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("fen"); // -1: refused

    QTest::newRow("whole") << "12" << qint64(1200);
    QTest::newRow("one decimal") << "12.5" << qint64(1250);
    QTest::newRow("two decimals") << "0.01" << qint64(1);
    QTest::newRow("trailing point") << "7." << qint64(700);
    QTest::newRow("leading point") << ".5" << qint64(50);
    QTest::newRow("leading zeros") << "0005.20" << qint64(520);
    QTest::newRow("largest") << "9999999.99" << qint64(999999999);
    QTest::newRow("zero") << "0" << qint64(-1);
    QTest::newRow("zero decimals") << "0.00" << qint64(-1);
    QTest::newRow("three decimals") << "1.234" << qint64(-1);
    QTest::newRow("negative") << "-1" << qint64(-1);
    QTest::newRow("two points") << "1..2" << qint64(-1);
    QTest::newRow("letters") << "abc" << qint64(-1);
    QTest::newRow("exponent") << "1e3" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
    QTest::newRow("point only") << "." << qint64(-1);
    QTest::newRow("space") << " 1" << qint64(-1);
    QTest::newRow("too large") << "10000000" << qint64(-1);
    QTest::newRow("full-width digits") << "１２" << qint64(-1);
}

void UnitsTest::parseYuan()
{
    QFETCH(QString, text);
    QFETCH(qint64, fen);
    const std::optional<qint64> parsed = Money::parseYuan(text);
    QCOMPARE(parsed.value_or(-1), fen);
}

void UnitsTest::formatYuan_data()
{
    QTest::addColumn<qint64>("fen");
    QTest::addColumn<QString>("text");
    QTest::newRow("fen") << qint64(1) << "0.01";
    QTest::newRow("tens") << qint64(1250) << "12.50";
    QTest::newRow("zero") << qint64(0) << "0.00";
    QTest::newRow("large") << qint64(123456789) << "1234567.89";
}

void UnitsTest::formatYuan()
{
    QFETCH(qint64, fen);
    QFETCH(QString, text);
    QCOMPARE(Money::formatYuan(fen), text);
}

void UnitsTest::decodeForm_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");

    QTest::newRow("plain") << QByteArray("a=1&b=2") << "b"
                           << "2";
    QTest::newRow("plus is space") << QByteArray("a=x+y") << "a"
                                   << "x y";
    QTest::newRow("percent space") << QByteArray("a=x%20y") << "a"
                                   << "x y";
    QTest::newRow("encoded utf-8") << QByteArray("d=1_%E5%89%8D%E5%8F%B0") << "d"
                                   << "1_前台";
    QTest::newRow("raw utf-8") << QByteArray("d=1_前台") << "d"
                               << "1_前台";
    QTest::newRow("lone percent kept") << QByteArray("a=50%") << "a"
                                       << "50%";
    QTest::newRow("bad escape kept") << QByteArray("a=%zz1") << "a"
                                     << "%zz1";
    QTest::newRow("encoded ampersand") << QByteArray("a=x%26y&b=2") << "a"
                                       << "x&y";
    QTest::newRow("value with equals") << QByteArray("a=x=y") << "a"
                                       << "x=y";
    QTest::newRow("first wins") << QByteArray("a=1&a=2") << "a"
                                << "1";
    QTest::newRow("empty value") << QByteArray("a=&b=2") << "a"
                                 << "";
    QTest::newRow("no equals") << QByteArray("a&b=2") << "b"
                               << "2";
    QTest::newRow("empty pairs") << QByteArray("&&b=2&") << "b"
                                 << "2";
    QTest::newRow("encoded name") << QByteArray("out%5Ftrade%5Fno=9") << "out_trade_no"
                                  << "9";
    QTest::newRow("missing") << QByteArray("a=1") << "b"
                             << "";
}

void UnitsTest::decodeForm()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, name);
    QFETCH(QString, value);
    const FormBody form = FormBody::decode(body.toStdString());
    QVERIFY(form.isValidUtf8());
    QCOMPARE(form.value(name), value);
}

void UnitsTest::utf8Check_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ascii") << QByteArray("a=b") << true;
    QTest::newRow("chinese") << QByteArray("a=收银台") << true;
    QTest::newRow("four byte") << QByteArray("a=\xF0\x9F\x98\x80") << true;
    QTest::newRow("raw continuation") << QByteArray("a=\x80") << false;
    QTest::newRow("escaped continuation") << QByteArray("a=%80") << false;
    QTest::newRow("truncated") << QByteArray("a=\xE5\x89") << false;
    QTest::newRow("overlong") << QByteArray("a=%C0%AF") << false;
    QTest::newRow("surrogate") << QByteArray("a=%ED%A0%80") << false;
    QTest::newRow("above unicode") << QByteArray("a=%F4%90%80%80") << false;
    QTest::newRow("bad name") << QByteArray("%FF=1") << false;
}

void UnitsTest::utf8Check()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, valid);
    QCOMPARE(FormBody::decode(body.toStdString()).isValidUtf8(), valid);
}

void UnitsTest::paymentCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("scenario");

    const int invalid = int(PaymentCode::Channel::Invalid);
    const int wechat = int(PaymentCode::Channel::WeChat);
    const int alipay = int(PaymentCode::Channel::Alipay);
    const int paid = int(PaymentCode::Scenario::PaidAtOnce);
    const int waits = int(PaymentCode::Scenario::AwaitsPassword);
    const int declined = int(PaymentCode::Scenario::InsufficientFunds);
    const int slow = int(PaymentCode::Scenario::SlowReply);
    const int never = int(PaymentCode::Scenario::NeverConfirmed);

    QTest::newRow("wechat 10") << "101234567890123456" << wechat << paid;
    QTest::newRow("wechat 15") << "151234567890123456" << wechat << paid;
    QTest::newRow("alipay 25") << "251234567890123456" << alipay << paid;
    QTest::newRow("alipay 30") << "301234567890123456" << alipay << paid;
    QTest::newRow("prefix 16") << "161234567890123456" << invalid << paid;
    QTest::newRow("prefix 24") << "241234567890123456" << invalid << paid;
    QTest::newRow("prefix 31") << "311234567890123456" << invalid << paid;
    QTest::newRow("prefix 09") << "091234567890123456" << invalid << paid;
    QTest::newRow("17 digits") << "13123456789012345" << invalid << paid;
    QTest::newRow("19 digits") << "1312345678901234567" << invalid << paid;
    QTest::newRow("letter") << "13123456789012345a" << invalid << paid;
    QTest::newRow("full-width digit") << "13123456789012345６" << invalid << paid;
    QTest::newRow("waits") << "131234567890120000" << wechat << waits;
    QTest::newRow("declined") << "281234567890129999" << alipay << declined;
    QTest::newRow("slow reply") << "281234567890127777" << alipay << slow;
    QTest::newRow("never confirmed") << "131234567890128888" << wechat << never;
}

void UnitsTest::paymentCode()
{
    QFETCH(QString, code);
    QFETCH(int, channel);
    QFETCH(int, scenario);
    const PaymentCode parsed(code);
    QCOMPARE(int(parsed.channel()), channel);
    QCOMPARE(int(parsed.scenario()), scenario);
}

void UnitsTest::parseDay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("day");
    QTest::newRow("client short") << "2016/3/5" << QDate(2016, 3, 5);
    QTest::newRow("client padded") << "2016/03/05" << QDate(2016, 3, 5);
    QTest::newRow("iso") << "2016-03-05" << QDate(2016, 3, 5);
    QTest::newRow("iso short") << "2016-3-5" << QDate(2016, 3, 5);
    QTest::newRow("mixed separators") << "2016/03-05" << QDate();
    QTest::newRow("no day") << "2016/3" << QDate();
    QTest::newRow("impossible") << "2016/2/30" << QDate();
    QTest::newRow("month 13") << "2016-13-01" << QDate();
    QTest::newRow("dots") << "2016.3.5" << QDate();
    QTest::newRow("trailing text") << "2016/3/5x" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void UnitsTest::parseDay()
{
    QFETCH(QString, text);
    QFETCH(QDate, day);
    QCOMPARE(TimeText::parseDay(text), day);
}

void UnitsTest::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("slowReply");

    QTest::newRow("defaults") << QStringList() << true << "127.0.0.1" << 8080 << 0 << 5 << 3;
    QTest::newRow("separate values") << QStringList{"--host",           "0.0.0.0", "--port",          "0",
                                                    "--client-version", "3",       "--confirm-delay", "1",
                                                    "--slow-reply",     "0"}
                                     << true << "0.0.0.0" << 0 << 3 << 1 << 0;
    QTest::newRow("equals form") << QStringList{"--port=9000", "--confirm-delay=0", "--slow-reply=86400"}
                                 << true << "127.0.0.1" << 9000 << 0 << 0 << 86400;
    QTest::newRow("port too big") << QStringList{"--port", "65536"} << false << "" << 0 << 0 << 0 << 0;
    QTest::newRow("port not a number") << QStringList{"--port", "http"} << false << "" << 0 << 0 << 0 << 0;
    QTest::newRow("negative delay") << QStringList{"--confirm-delay", "-1"} << false << "" << 0 << 0 << 0
                                    << 0;
    QTest::newRow("slow reply too long")
        << QStringList{"--slow-reply", "86401"} << false << "" << 0 << 0 << 0 << 0;
    QTest::newRow("missing value") << QStringList{"--db"} << false << "" << 0 << 0 << 0 << 0;
    QTest::newRow("certificate without its key")
        << QStringList{"--tls-cert", "server.pem"} << false << "" << 0 << 0 << 0 << 0;
    QTest::newRow("unknown") << QStringList{"--verbose"} << false << "" << 0 << 0 << 0 << 0;
}

void UnitsTest::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    Options options;
    const QString error = options.parse(arguments);
    QCOMPARE(error.isEmpty(), ok);
    if (!ok)
        return;
    QTEST(options.host, "host");
    QTEST(options.port, "port");
    QTEST(options.clientVersion, "version");
    QTEST(options.confirmDelaySeconds, "delay");
    QTEST(options.slowReplySeconds, "slowReply");
}

QTEST_GUILESS_MAIN(UnitsTest)
#include "tst_units.moc"
