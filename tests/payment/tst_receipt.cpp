#include "payment/receipt.h"
#include "rows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QByteArray Sale = R"({"out_trade_no":"100000000000000007","payt":"Kesto","time_end":"20160315093005",
    "total_fee":"1250","mchname":"东门烘焙店","mchid":"1230000109"})";

QJsonObject object(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

// The text of every cell, in document order.
QStringList cells(const QString &html)
{
    QStringList texts;
    const QRegularExpression cell(QStringLiteral("<td [^>]*>\t\t\t(.*?)\t\t</td>"));
    for (QRegularExpressionMatchIterator it = cell.globalMatch(html); it.hasNext();)
        texts << it.next().captured(1);
    return texts;
}

} // namespace

class TestReceipt : public QObject
{
    Q_OBJECT

private slots:
    void matchesTheTemplate()
    {
        QFile golden(QFINDTESTDATA("receipt.golden.html"));
        QVERIFY(golden.open(QIODevice::ReadOnly));
        QString expected = QString::fromUtf8(golden.readAll());
        if (expected.endsWith(QLatin1Char('\n')))
            expected.chop(1);
        QCOMPARE(receiptHtml(object(Sale), QStringLiteral("/srv/kesto shop/kesto.jpg")), expected);
    }

    void placesValues_data()
    {
        QTest::addColumn<QJsonObject>("call");
        QTest::addColumn<QString>("logo");
        QTest::addColumn<QStringList>("values"); // logo source, name, number, trade, channel, date, amount

        const QStringList empty{"file:///k.jpg", "", "", "", "支付宝钱包", "// ::", "0"};
        QStringList wechat = empty;
        wechat[4] = "微信钱包";
        wechat[6] = "12345.67";
        row("markup escaped",
            QJsonObject{{"mchname", "<b>x</b>&"},
                        {"mchid", "a\"b'c"},
                        {"out_trade_no", "<i>7</i>"},
                        {"time_end", "2016<0315>&3005"},
                        {"total_fee", "<1>"},
                        {"payt", "<b>Kesto</b>"}},
            "/a&b/<k>.jpg",
            QStringList{"file:///a&amp;b/%3Ck%3E.jpg", "&lt;b&gt;x&lt;/b&gt;&amp;", "a&quot;b'c",
                        "&lt;i&gt;7&lt;/i&gt;", "支付宝钱包", "2016/&lt;0/31 5&gt;:&amp;3:00", "0"});
        row("WeChat Pay, a large amount", QJsonObject{{"payt", "Kesto"}, {"total_fee", "1234567"}}, "/k.jpg",
            wechat);
        row("values not text",
            QJsonObject{{"mchname", 1},
                        {"mchid", QJsonValue()},
                        {"out_trade_no", QJsonArray{"7"}},
                        {"time_end", 20160315093005.0},
                        {"payt", true}},
            "/k.jpg", empty);
        // Each value is cut to 100 characters before it is put in, and then filled in turn.
        const QString id = QString(100, 'x') + "…";
        const QString name = id.repeated(14) + "{m…";
        row("values full of placeholders",
            QJsonObject{{"out_trade_no", QString("{mchname}").repeated(20)},
                        {"mchname", QString("{mchid}").repeated(20)},
                        {"mchid", QString(200, 'x')}},
            "/k.jpg",
            QStringList{"file:///k.jpg", name, id, name.repeated(11) + "{…", "支付宝钱包", "// ::", "0"});
    }
    void placesValues()
    {
        QFETCH(QJsonObject, call);
        QFETCH(QString, logo);
        QFETCH(QStringList, values);

        const QStringList texts = cells(receiptHtml(call, logo));
        QCOMPARE(texts.size(), 20);
        QCOMPARE(texts[0], QStringLiteral("<img src=\"%1\" />").arg(values[0]));
        const QStringList placed{texts[3], texts[5], texts[7], texts[9], texts[11], texts[14]};
        QCOMPARE(placed, values.mid(1, 5) << QStringLiteral("RMB:&nbsp;&nbsp;") + values[6]);
    }
};

QTEST_MAIN(TestReceipt)
#include "tst_receipt.moc"
