#include "rows.h"
#include "service/replyformat.h"

struct Amount
{
    const char *tag;
    const char *fen;
    const char *yuan;
};
struct Number
{
    const char *tag;
    int number;
};
Q_DECLARE_METATYPE(Amount)
Q_DECLARE_METATYPE(Number)

// Money in both directions, exact: the service speaks fen, the cashier yuan.
class TestReplyFormat : public QObject
{
    Q_OBJECT

private slots:
    void yuanFromFen_data()
    {
        static const Amount rows[] = {{"one yuan", "100", "1"},
                                      {"one fen", "1", "0.01"},
                                      {"ten fen", "10", "0.1"},
                                      {"trailing zero dropped", "1250", "12.5"},
                                      {"seven digits stay exact", "1234567", "12345.67"},
                                      {"zero", "0", "0"},
                                      {"leading zeros", "0005", "0.05"},
                                      {"negative", "-150", "-1.5"},
                                      {"beyond single precision", "9999999999999", "99999999999.99"},
                                      {"not a number", "abc", "0"},
                                      {"fraction of a fen", "12.5", "0"}};
        addRows(rows);
    }
    void yuanFromFen()
    {
        QFETCH(Amount, row);
        QCOMPARE(::yuanFromFen(row.fen), QString(row.yuan));
    }

    // The tag is the yuan text, the number the fen; 0 is refused.
    void fenFromYuan_data()
    {
        static const Number rows[] = {{"12", 1200},    {"12.5", 1250},  {"0.01", 1},
                                      {".5", 50},      {"007.10", 710}, {"9999999.99", 999999999},
                                      {"", 0},         {"0.00", 0},     {".", 0},
                                      {"1..2", 0},     {"12.345", 0},   {"-1", 0},
                                      {"10000000", 0}, {"1e3", 0},      {" 1", 0},
                                      {"12\n", 0}};
        addRows(rows);
    }
    void fenFromYuan()
    {
        QFETCH(Number, row);
        QCOMPARE(::fenFromYuan(row.tag).value_or(0), qint64(row.number));
    }

    // Paging numbers: a whole number that fits, or 0 (a fuzzed page count once asked the table
    // for two billion rows).
    void wholeNumber_data()
    {
        static const Number rows[] = {{"4", 4},    {"-2", -2},  {"\"4\"", 0}, {"1.5", 0},
                                      {"1e12", 0}, {"null", 0}, {"true", 0}};
        addRows(rows);
    }
    void wholeNumber()
    {
        QFETCH(Number, row);
        QCOMPARE(::wholeNumber(QJsonDocument::fromJson(QByteArray("{\"v\":") + row.tag + "}").object()["v"]),
                 row.number);
    }

    void serviceTimeText()
    {
        QCOMPARE(::serviceTimeText("20160305142233"), QString("2016年03月05日 14时22分33秒"));
        QCOMPARE(::serviceTimeText("20160305"), QString("2016年03月05日 时分秒"));
    }
};

QTEST_GUILESS_MAIN(TestReplyFormat)
#include "tst_replyformat.moc"
