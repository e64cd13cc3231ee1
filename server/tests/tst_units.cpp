// The pure parts of the service: amounts, form bodies, payment codes and days. Over HTTP
// one row per refusal shows the wiring; the edge cases are here.

#include "FormBody.h"
#include "Money.h"
#include "PaymentCode.h"
#include "TimeText.h"
#include "rows.h"

struct Yuan
{
    const char *tag;
    qint64 fen; // -1: refused
};
struct Form
{
    const char *tag;
    const char *body;
    const char *name;
    const char *value; // nullptr: the body is not valid UTF-8
};
struct Code
{
    const char *tag;
    PaymentCode::Channel channel;
    PaymentCode::Scenario scenario;
};
struct Day
{
    const char *tag;
    QDate day;
};
Q_DECLARE_METATYPE(Yuan)
Q_DECLARE_METATYPE(Form)
Q_DECLARE_METATYPE(Code)
Q_DECLARE_METATYPE(Day)

class UnitsTest : public QObject
{
    Q_OBJECT

private slots:
    // The tag is the text, the amount in fen the answer.
    void parseYuan_data()
    {
        static const Yuan rows[] = {{"12", 1200},
                                    {"12.5", 1250},
                                    {"0.01", 1},
                                    {"7.", 700},
                                    {".5", 50},
                                    {"0005.20", 520},
                                    {"9999999.99", 999999999},
                                    {"0", -1},
                                    {"0.00", -1},
                                    {"1.234", -1},
                                    {"-1", -1},
                                    {"1..2", -1},
                                    {"1e3", -1},
                                    {"", -1},
                                    {".", -1},
                                    {" 1", -1},
                                    {"10000000", -1},
                                    {"１２", -1}};
        addRows(rows);
    }
    void parseYuan()
    {
        QFETCH(Yuan, row);
        QCOMPARE(Money::parseYuan(QString::fromUtf8(row.tag)).value_or(-1), row.fen);
        if (row.fen > 0)
            QCOMPARE(Money::parseYuan(Money::formatYuan(row.fen)).value_or(-1), row.fen);
    }

    void decodeForm_data()
    {
        static const Form rows[] = {
            {"plus is space", "a=x+y", "a", "x y"},
            {"encoded utf-8", "d=1_%E5%89%8D%E5%8F%B0", "d", "1_前台"},
            {"raw utf-8", "d=1_前台", "d", "1_前台"},
            {"bad escape kept", "a=%zz1&b=50%", "a", "%zz1"},
            {"encoded ampersand", "a=x%26y&b=2", "a", "x&y"},
            {"value with equals", "a=x=y", "a", "x=y"},
            {"first wins", "a=1&a=2", "a", "1"},
            {"empty pairs", "&&b&a=2&", "a", "2"},
            {"encoded name", "out%5Ftrade%5Fno=9", "out_trade_no", "9"},
            {"four bytes", "a=\xF0\x9F\x98\x80", "a", "\xF0\x9F\x98\x80"},
            {"escaped continuation", "a=%80", "a", nullptr},
            {"truncated", "a=\xE5\x89", "a", nullptr},
            {"overlong", "a=%C0%AF", "a", nullptr},
            {"surrogate", "a=%ED%A0%80", "a", nullptr},
            {"bad name", "%FF=1", "a", nullptr},
        };
        addRows(rows);
    }
    void decodeForm()
    {
        QFETCH(Form, row);
        const FormBody form = FormBody::decode(row.body);
        QCOMPARE(form.isValidUtf8(), row.value != nullptr);
        if (row.value)
            QCOMPARE(form.value(row.name), QString::fromUtf8(row.value));
    }

    // The tag is the code.
    void paymentCode_data()
    {
        using C = PaymentCode::Channel;
        using S = PaymentCode::Scenario;
        static const Code rows[] = {
            {"101234567890123456", C::WeChat, S::PaidAtOnce},
            {"151234567890123456", C::WeChat, S::PaidAtOnce},
            {"251234567890123456", C::Alipay, S::PaidAtOnce},
            {"301234567890123456", C::Alipay, S::PaidAtOnce},
            {"161234567890123456", C::Invalid, S::PaidAtOnce},
            {"241234567890123456", C::Invalid, S::PaidAtOnce},
            {"091234567890123456", C::Invalid, S::PaidAtOnce},
            {"13123456789012345", C::Invalid, S::PaidAtOnce},
            {"1312345678901234567", C::Invalid, S::PaidAtOnce},
            {"13123456789012345a", C::Invalid, S::PaidAtOnce},
            {"131234567890120000", C::WeChat, S::AwaitsPassword},
            {"281234567890129999", C::Alipay, S::InsufficientFunds},
            {"281234567890127777", C::Alipay, S::SlowReply},
            {"131234567890128888", C::WeChat, S::NeverConfirmed},
        };
        addRows(rows);
    }
    void paymentCode()
    {
        QFETCH(Code, row);
        const PaymentCode code(QString::fromUtf8(row.tag));
        QCOMPARE(code.channel(), row.channel);
        QCOMPARE(code.scenario(), row.scenario);
    }

    // The tag is the text.
    void parseDay_data()
    {
        static const Day rows[] = {{"2016/3/5", {2016, 3, 5}},
                                   {"2016/03/05", {2016, 3, 5}},
                                   {"2016-3-5", {2016, 3, 5}},
                                   {"2016/03-05", {}},
                                   {"2016/3", {}},
                                   {"2016/2/30", {}},
                                   {"2016-13-01", {}},
                                   {"2016.3.5", {}},
                                   {"2016/3/5x", {}}};
        addRows(rows);
    }
    void parseDay()
    {
        QFETCH(Day, row);
        QCOMPARE(TimeText::parseDay(QString::fromUtf8(row.tag)), row.day);
    }
};

QTEST_GUILESS_MAIN(UnitsTest)
#include "tst_units.moc"
