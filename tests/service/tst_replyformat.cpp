#include "rows.h"
#include "service/replyformat.h"

struct Case
{
    const char *tag; // what goes in
    const char *result;
};
Q_DECLARE_METATYPE(Case)

// Money in both directions, exact: the service speaks fen, the cashier yuan.
class TestReplyFormat : public QObject
{
    Q_OBJECT

private slots:
    void yuanFromFen_data()
    {
        static const Case rows[] = {{"1", "0.01"}, {"10", "0.1"},    {"1250", "12.5"},
                                    {"100", "1"},  {"0005", "0.05"}, {"9999999999999", "99999999999.99"}};
        addRows(rows);
    }
    void yuanFromFen()
    {
        QFETCH(Case, row);
        QCOMPARE(::yuanFromFen(row.tag), QString(row.result));
    }

    // Refused (-1): no digit, only zeros, a third decimal, eight digits of yuan, a line end after it.
    void fenFromYuan_data()
    {
        static const Case rows[] = {{"12", "1200"},     {"12.5", "1250"},  {"0.01", "1"},
                                    {".5", "50"},       {"007.10", "710"}, {"9999999.99", "999999999"},
                                    {".", "-1"},        {"0.00", "-1"},    {"12.345", "-1"},
                                    {"10000000", "-1"}, {"12\n", "-1"}};
        addRows(rows);
    }
    void fenFromYuan()
    {
        QFETCH(Case, row);
        QCOMPARE(QString::number(::fenFromYuan(row.tag).value_or(-1)), QString(row.result));
    }

    // A page number: whole and an int, or 0 (a fuzzed page count once asked the table for two billion rows).
    void wholeNumber()
    {
        QCOMPARE(::wholeNumber(4), 4);
        QCOMPARE(::wholeNumber("4"), 0);
        QCOMPARE(::wholeNumber(1.5), 0);
        QCOMPARE(::wholeNumber(1e12), 0);
    }
};

QTEST_GUILESS_MAIN(TestReplyFormat)
#include "tst_replyformat.moc"
