#include "shell/lookandfeel.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QFontInfo>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
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

    void imagesHaveTheirSizes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        const QString icon = ":/Icon/Resources/";
        const QString kesto = ":/Kesto/Resources/";
        QTest::newRow("icon") << icon + "kvt.ico" << QSize(128, 128);
        for (const char *tile : {"wx1.png", "wx2.png", "z1.png", "z2.png", "yun.png"})
            QTest::newRow(tile) << icon + tile << QSize(88, 72);
        QTest::newRow("info") << icon + "info.png" << QSize(32, 32);
        QTest::newRow("dollar") << icon + "dollar.png" << QSize(28, 28);
        for (const char *face : {"login", "queding", "exit", "cancel"}) {
            for (const char *state : {"", "hover", "press"}) {
                const QString name = QString(face) + state + ".jpg";
                QTest::newRow(qPrintable(name)) << kesto + name << QSize(128, 46);
            }
        }
        QTest::newRow("username") << kesto + "username.jpg" << QSize(31, 31);
        QTest::newRow("password") << kesto + "password.jpg" << QSize(31, 31);
        for (const char *check : {"check.jpg", "checkhover.jpg", "checked.jpg"})
            QTest::newRow(check) << kesto + check << QSize(14, 14);
        QTest::newRow("drop") << kesto + "drop.png" << QSize(15, 6);
        QTest::newRow("pay") << kesto + "pay.png" << QSize(23, 23);
        QTest::newRow("refresh") << kesto + "refresh.png" << QSize(24, 24);
        for (const char *arrow : {"last.png", "next.png", "lastx.png", "nextx.png"})
            QTest::newRow(arrow) << kesto + arrow << QSize(32, 32);
    }
    void imagesHaveTheirSizes()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QImageReader reader(path);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), size);
    }

    // The sheet is read as Latin-1, so anything but ASCII would be garbled.
    void styleSheetIsAsciiWithWindowsLineEnds()
    {
        QFile file(":/File/qss/style.qss");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 6919);
        for (const char c : bytes)
            QVERIFY(uchar(c) < 0x80 && c != '\0');
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QCOMPARE(qApp->styleSheet(), QString::fromLatin1(bytes));
    }

    void standardTextsAreChinese()
    {
        QVERIFY(!m_Translator.isEmpty());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
    }

    void datesLookAsInChina()
    {
        QCOMPARE(QLocale().toString(QDate(2026, 3, 5), QLocale::ShortFormat), QString("2026/3/5"));
    }

    // Every window names these families; each must resolve to a font that has Chinese glyphs.
    void chineseTextRenders_data()
    {
        QTest::addColumn<QString>("family");
        QTest::newRow("application font") << qApp->font().family();
        QTest::newRow("微软雅黑") << "微软雅黑";
        QTest::newRow("宋体") << "宋体";
    }
    void chineseTextRenders()
    {
        QFETCH(QString, family);
        QLabel label("支付成功");
        label.setFont(QFont(family, 12));
        const QRawFont raw = QRawFont::fromFont(label.font());
        QVERIFY2(raw.supportsCharacter(QChar(0x652F)), qPrintable(QFontInfo(label.font()).family()));
        QCOMPARE(qApp->font().pointSize(), 9);
    }

private:
    QTranslator m_Translator;
};

QTEST_MAIN(TestLookAndFeel)
#include "tst_lookandfeel.moc"
