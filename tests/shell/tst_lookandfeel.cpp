#include "shell/lookandfeel.h"

#include <QApplication>
#include <QImageReader>
#include <QRawFont>
#include <QTranslator>
#include <QtTest>

class TestLookAndFeel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initResources();
        applyLookAndFeel(*qApp, m_Translator);
    }

    // The painted images the forms are laid out for, each at its size.
    void imagesHaveTheirSizes()
    {
        const QVector<QPair<QString, QSize>> images{
            {":/Icon/Resources/kvt.ico", {128, 128}},     {":/Icon/Resources/wx1.png", {88, 72}},
            {":/Icon/Resources/z2.png", {88, 72}},        {":/Icon/Resources/info.png", {32, 32}},
            {":/Icon/Resources/dollar.png", {28, 28}},    {":/Kesto/Resources/loginhover.jpg", {128, 46}},
            {":/Kesto/Resources/username.jpg", {31, 31}}, {":/Kesto/Resources/checked.jpg", {14, 14}},
            {":/Kesto/Resources/drop.png", {15, 6}},      {":/Kesto/Resources/pay.png", {23, 23}},
            {":/Kesto/Resources/refresh.png", {24, 24}},  {":/Kesto/Resources/nextx.png", {32, 32}}};
        for (const auto &image : images)
            QVERIFY2(QImageReader(image.first).size() == image.second, qPrintable(image.first));
    }

    // The sheet is read as Latin-1, so anything but ASCII would be garbled.
    void styleSheetIsAsciiWithWindowsLineEnds()
    {
        QFile file(":/File/qss/style.qss");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 6919);
        QVERIFY(std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80 && c != '\0'; }));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QCOMPARE(qApp->styleSheet(), QString::fromLatin1(bytes));
    }

    // Qt's own texts in Chinese (Debian's qt_zh_CN.qm is only an index), dates as in China.
    void chineseLocale()
    {
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
        QCOMPARE(QLocale().toString(QDate(2026, 3, 5), QLocale::ShortFormat), QString("2026/3/5"));
    }

    // Every window names these families; each must resolve to a font that has Chinese glyphs.
    void chineseTextRenders()
    {
        QCOMPARE(qApp->font().pointSize(), 9);
        for (const QString &family : {qApp->font().family(), QString("微软雅黑"), QString("宋体")})
            QVERIFY2(QRawFont::fromFont(QFont(family, 12)).supportsCharacter(QChar(0x652F)),
                     qPrintable(family));
    }

private:
    QTranslator m_Translator;
};

QTEST_MAIN(TestLookAndFeel)
#include "tst_lookandfeel.moc"
