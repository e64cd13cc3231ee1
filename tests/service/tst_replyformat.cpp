#include "service/replyformat.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestReplyFormat : public QObject
{
    Q_OBJECT

private slots:
    void yuanFromFen_data()
    {
        QTest::addColumn<QString>("fen");
        QTest::addColumn<QString>("yuan");
        QTest::newRow("one yuan") << "100"
                                  << "1";
        QTest::newRow("one fen") << "1"
                                 << "0.01";
        QTest::newRow("ten fen") << "10"
                                 << "0.1";
        QTest::newRow("trailing zero dropped") << "1250"
                                               << "12.5";
        QTest::newRow("seven digits stay exact") << "1234567"
                                                 << "12345.67";
        QTest::newRow("a million") << "100000000"
                                   << "1000000";
        QTest::newRow("zero") << "0"
                              << "0";
        QTest::newRow("leading zeros") << "0005"
                                       << "0.05";
        QTest::newRow("negative") << "-150"
                                  << "-1.5";
        QTest::newRow("beyond single precision") << "9999999999999"
                                                 << "99999999999.99";
        QTest::newRow("empty") << ""
                               << "0";
        QTest::newRow("not a number") << "abc"
                                      << "0";
        QTest::newRow("fraction of a fen") << "12.5"
                                           << "0";
    }
    void yuanFromFen()
    {
        QFETCH(QString, fen);
        QFETCH(QString, yuan);
        QCOMPARE(::yuanFromFen(fen), yuan);
    }

    void fenFromYuan_data()
    {
        QTest::addColumn<QString>("yuan");
        QTest::addColumn<qint64>("fen"); // 0: refused
        for (const auto &row : QVector<QPair<QString, qint64>>{{"12", 1200},
                                                               {"12.5", 1250},
                                                               {"0.01", 1},
                                                               {".5", 50},
                                                               {"007.10", 710},
                                                               {"9999999.99", 999999999},
                                                               {"", 0},
                                                               {"0", 0},
                                                               {"0.00", 0},
                                                               {".", 0},
                                                               {"1..2", 0},
                                                               {"12.345", 0},
                                                               {"-1", 0},
                                                               {"10000000", 0},
                                                               {"1e3", 0},
                                                               {" 1", 0},
                                                               {"12\n", 0}})
            QTest::newRow(qPrintable(row.first)) << row.first << row.second;
    }
    void fenFromYuan()
    {
        QFETCH(QString, yuan);
        QFETCH(qint64, fen);
        QCOMPARE(::fenFromYuan(yuan).value_or(0), fen);
    }

    void serviceTimeText_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("full") << "20160305142233"
                              << "2016年03月05日 14时22分33秒";
        QTest::newRow("date only") << "20160305"
                                   << "2016年03月05日 时分秒";
        QTest::newRow("empty") << ""
                               << "年月日 时分秒";
    }
    void serviceTimeText()
    {
        QFETCH(QString, time);
        QFETCH(QString, text);
        QCOMPARE(::serviceTimeText(time), text);
    }

    void wholeNumber_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("number");
        QTest::newRow("integer") << QByteArray("4") << 4;
        QTest::newRow("negative") << QByteArray("-2") << -2;
        QTest::newRow("quoted digit") << QByteArray("\"4\"") << 0;
        QTest::newRow("fraction") << QByteArray("1.5") << 0;
        QTest::newRow("too large") << QByteArray("1e12") << 0;
        QTest::newRow("null") << QByteArray("null") << 0;
        QTest::newRow("boolean") << QByteArray("true") << 0;
    }
    void wholeNumber()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, number);
        const QJsonValue value = QJsonDocument::fromJson("{\"v\":" + json + "}").object().value("v");
        QCOMPARE(::wholeNumber(value), number);
    }
};

QTEST_GUILESS_MAIN(TestReplyFormat)
#include "tst_replyformat.moc"
