#include "payment/receipt.h"
#include "printqueue.h"
#include "rows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(ReceiptPrint)

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

private:
    std::unique_ptr<PrintQueue> m_Queue;

private slots:
    void initTestCase() { m_Queue = std::make_unique<PrintQueue>(); }

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

    void printsEveryCopyOnA58mmPage()
    {
        QVERIFY2(m_Queue->error().isEmpty(), qPrintable(m_Queue->error()));
        QJsonObject sale = object(Sale);
        sale.insert("total_fee", "1234567");
        const QString html = receiptHtml(sale, QDir::currentPath() + "/kesto.jpg");
        QCOMPARE(printReceipt(html, m_Queue->name(), "2"), ReceiptPrint::Printed);
        const QStringList pdfs = m_Queue->waitForPdfs(2);
        QCOMPARE(pdfs.size(), 2);

        // The receipt's height as laid out on the roll's width, in millimetres.
        QTextDocument laidOut;
        laidOut.setHtml(html);
        const QPrinter screen(QPrinter::ScreenResolution);
        laidOut.setTextWidth(screen.logicalDpiX() * 58 / 25.4);
        const qreal heightMm = laidOut.size().height() * 25.4 / screen.logicalDpiY();
        for (const QString &pdf : pdfs) {
            // The narrow cells wrap long numbers, so the text is compared without any blanks.
            const QString text = PrintQueue::pdfText(pdf).remove(QRegularExpression("\\s"));
            for (const char *part : {"东门烘焙店", "1230000109", "100000000000000007", "微信钱包",
                                     "2016/03/1509:30:05", "RMB:12345.67"})
                QVERIFY2(text.contains(QString::fromUtf8(part)), qPrintable(part + (" not in: " + text)));
            int pages = 0;
            const QSizeF size = PrintQueue::pdfPageSize(pdf, &pages);
            QCOMPARE(pages, 1);
            // The filters round the page to whole points.
            QVERIFY2(qAbs(size.width() - 58 / 25.4 * 72) < 1, qPrintable(QString::number(size.width())));
            QVERIFY2(qAbs(size.height() * 25.4 / 72 - heightMm) < 2,
                     qPrintable(QString::number(size.height())));
        }
    }

    void printsNothing_data()
    {
        QTest::addColumn<bool>("knownPrinter");
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("copies");
        QTest::addColumn<ReceiptPrint>("result");
        row("no printer", false, QString(), "2", ReceiptPrint::Skipped);
        row("unknown printer", false, "kesto_no_such_printer", "2", ReceiptPrint::NoPrinter);
        row("copies not a number", true, QString(), "x", ReceiptPrint::Skipped);
    }
    void printsNothing()
    {
        QFETCH(bool, knownPrinter);
        QFETCH(QString, printer);
        QFETCH(QString, copies);
        QFETCH(ReceiptPrint, result);
        QVERIFY2(m_Queue->error().isEmpty(), qPrintable(m_Queue->error()));
        const QStringList before = m_Queue->jobs();
        QCOMPARE(printReceipt(receiptHtml(object(Sale), QStringLiteral("/k.jpg")),
                              knownPrinter ? m_Queue->name() : printer, copies),
                 result);
        QCOMPARE(m_Queue->jobs(), before);
    }
};

QTEST_MAIN(TestReceipt)
#include "tst_receipt.moc"
