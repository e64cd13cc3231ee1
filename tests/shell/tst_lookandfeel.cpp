#include "shell/lookandfeel.h"

#include <QApplication>
#include <QRawFont>
#include <QTranslator>
#include <QtTest>

class TestLookAndFeel : public QObject
{
    Q_OBJECT

private slots:
    // The sheet, read as Latin-1, is ASCII. Qt's own texts are in Chinese (Debian's qt_zh_CN.qm is
    // only an index), and the families every window names resolve to fonts with Chinese glyphs.
    void applied()
    {
        initResources();
        QTranslator translator;
        applyLookAndFeel(*qApp, translator);
        QFile file(":/File/qss/style.qss");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80 && c != '\0'; }));
        QCOMPARE(qApp->styleSheet(), QString::fromLatin1(bytes));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
        QCOMPARE(QLocale().toString(QDate(2026, 3, 5), QLocale::ShortFormat), QString("2026/3/5"));
        QCOMPARE(qApp->font().pointSize(), 9);
        for (const QString &family : {qApp->font().family(), QString("微软雅黑"), QString("宋体")})
            QVERIFY2(QRawFont::fromFont(QFont(family, 12)).supportsCharacter(QChar(0x652F)),
                     qPrintable(family));
    }
};

QTEST_MAIN(TestLookAndFeel)
#include "tst_lookandfeel.moc"
