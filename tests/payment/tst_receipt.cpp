#include "payment/receipt.h"
#include "rows.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#include <QTextDocument>
#include <QtTest>

class TestReceipt : public QObject
{
    Q_OBJECT

private slots:
    void matchesTheTemplate()
    {
        QFile golden(QFINDTESTDATA("receipt.golden.html"));
        QVERIFY(golden.open(QIODevice::ReadOnly));
        const QJsonObject sale{{"out_trade_no", "100000000000000007"},
                               {"payt", "Kesto"},
                               {"time_end", "20160315093005"},
                               {"total_fee", "1250"},
                               {"mchname", "东门烘焙店"},
                               {"mchid", "1230000109"}};
        QCOMPARE(receiptHtml(sale, QStringLiteral("/srv/kesto shop/kesto.jpg")),
                 QString::fromUtf8(golden.readAll()).trimmed());
    }

    // Each value in its cell, escaped, and one that is not text as none; the logo's path escaped as a
    // link and as markup.
    void placesValues_data()
    {
        QTest::addColumn<QJsonObject>("call");
        QTest::addColumn<QStringList>("values"); // name, number, trade, channel, date, amount
        row("markup escaped",
            QJsonObject{{"mchname", "<b>x</b>&"},
                        {"mchid", "a\"b'c"},
                        {"out_trade_no", "<i>7</i>"},
                        {"time_end", "2016<0315>&3005"},
                        {"total_fee", "<1>"},
                        {"payt", "<b>Kesto</b>"}},
            QStringList{"&lt;b&gt;x&lt;/b&gt;&amp;", "a&quot;b'c", "&lt;i&gt;7&lt;/i&gt;", "支付宝钱包",
                        "2016/&lt;0/31 5&gt;:&amp;3:00", "0"});
        // Each value is cut to 100 characters before it is put in, and then filled in turn.
        const QString id = QString(100, 'x') + "…";
        const QString name = id.repeated(14) + "{m…";
        row("values full of placeholders, or not text",
            QJsonObject{{"out_trade_no", QString("{mchname}").repeated(20)},
                        {"mchname", QString("{mchid}").repeated(20)},
                        {"mchid", QString(200, 'x')},
                        {"payt", true},
                        {"time_end", 20160315093005.0},
                        {"total_fee", 1250}},
            QStringList{name, id, name.repeated(11) + "{…", "支付宝钱包", "// ::", "0"});
    }
    void placesValues()
    {
        QFETCH(QJsonObject, call);
        QFETCH(QStringList, values);
        QStringList texts; // of every cell, in document order
        auto cell = QRegularExpression("<td [^>]*>\t\t\t(.*?)\t\t</td>")
                        .globalMatch(receiptHtml(call, "/a&b/<k>.jpg"));
        while (cell.hasNext())
            texts << cell.next().captured(1);
        QCOMPARE(texts.size(), 20);
        QCOMPARE(texts[0], QStringLiteral("<img src=\"file:///a&amp;b/%3Ck%3E.jpg\" />"));
        const QStringList placed{texts[3], texts[5], texts[7], texts[9], texts[11], texts[14]};
        QCOMPARE(placed, values.mid(0, 5) << "RMB:&nbsp;&nbsp;" + values[5]);
    }

    // 1 to 9 copies print; empty or 0 is no receipt; anything else prints nothing at all (the
    // printer, missing here, is never looked for).
    void copies()
    {
        QVector<ReceiptPrint> outcomes;
        for (const char *copies : {"100", "x", "-1", "10", "0", "", "1"})
            outcomes << printReceipt("<p>x</p>", "Kesto-missing-printer", copies);
        QCOMPARE(outcomes, QVector<ReceiptPrint>(4, ReceiptPrint::InvalidCopies)
                               << ReceiptPrint::Skipped << ReceiptPrint::Skipped << ReceiptPrint::NoPrinter);
    }

    // Beside the program before ../share/kesto before the working directory; none is no image at all.
    void logo()
    {
        QTemporaryDir work;
        QVERIFY(QDir::setCurrent(work.path()) && !receiptHtml({}, receiptLogo()).contains("<img"));
        const QString program = QCoreApplication::applicationDirPath();
        for (const QString &dir : {work.path(), program + "/../share/kesto", program}) {
            QVERIFY(QDir().mkpath(dir) && QFile(dir + "/kesto.jpg").open(QIODevice::WriteOnly));
            QCOMPARE(QFileInfo(receiptLogo()).canonicalFilePath(),
                     QFileInfo(dir + "/kesto.jpg").canonicalFilePath());
        }
        QVERIFY(QFile::remove(program + "/kesto.jpg") && QDir(program + "/../share").removeRecursively());
        // The default logo leaves the receipt on the 58 mm roll (219 px at 96 dpi).
        QTextDocument receipt;
        receipt.setHtml(receiptHtml({}, QFINDTESTDATA("../../src/resources/receipt/kesto.jpg")));
        receipt.setTextWidth(219);
        QVERIFY(receipt.toHtml().contains("<img") && receipt.idealWidth() <= 219);
    }

    // The receipt is laid out for the printer alone: printed under screens of 100 and 144 dpi (this
    // test run again in a child), its page, 58 mm wide, and its logo come out the same.
    void sameOnEveryScreen()
    {
        const QString html =
            receiptHtml({{"total_fee", "1250"}}, QFINDTESTDATA("../../src/resources/receipt/kesto.jpg"));
        if (qEnvironmentVariableIsSet("RECEIPT_PDF")) {
            QPrinter printer;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(qEnvironmentVariable("RECEIPT_PDF"));
            // As a system printer comes: at the screen's resolution.
            printer.setResolution(qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch()));
            printOnRoll(html, printer, 1);
            return;
        }
        QTemporaryDir dir;
        QStringList prints; // each one's page size and the list of its images
        for (const QString dpi : {"100", "144"}) {
            QProcess child, info, images;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("QT_FONT_DPI", dpi);
            environment.insert("RECEIPT_PDF", dir.filePath(dpi));
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(), {"sameOnEveryScreen"});
            QVERIFY(child.waitForFinished(30000) && child.exitCode() == 0);
            info.start("pdfinfo", {dir.filePath(dpi)});
            images.start("pdfimages", {"-list", dir.filePath(dpi)});
            QVERIFY(info.waitForFinished() && images.waitForFinished());
            prints << QString(info.readAll()).section("Page size:", 1).section('\n', 0, 0) +
                          QString(images.readAll()).section('\n', 2);
        }
        QCOMPARE(prints[1], prints[0]);
        QVERIFY2(prints[0].contains(" 164 x ") && prints[0].contains(" image "), qPrintable(prints[0]));
    }
};

QTEST_MAIN(TestReceipt)
#include "tst_receipt.moc"
