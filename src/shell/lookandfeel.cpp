#include "shell/lookandfeel.h"

#include "platform/platformintegration.h"
#include "shell/apppaths.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

void enableDisplayScaling()
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

void initResources()
{
    Q_INIT_RESOURCE(kesto);
    Q_INIT_RESOURCE(catalogue);
}

namespace {

class HiddenPolish : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        return event->type() == QEvent::PolishRequest && watched->isWidgetType() &&
               !static_cast<QWidget *>(watched)->window()->isVisible();
    }
};

void applyStyleSheet(QApplication &app)
{
    QFile file(QStringLiteral(":/File/qss/style.qss"));
    file.open(QIODevice::ReadOnly);
    QByteArray bytes = file.readAll();
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    app.setStyleSheet(QString::fromLatin1(bytes));
}

QString fontFile()
{
    return AppPaths::applicationDir() + QLatin1Char('/') + PlatformIntegration::instance().fontFileName();
}

// The family of the font file beside the executable; elsewhere than on Windows, where that file
// is rarely shipped, an installed family that covers Chinese.
QString applicationFontFamily()
{
    const int id = QFontDatabase::addApplicationFont(fontFile());
    if (id >= 0) {
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.value(0);
    }
    return PlatformIntegration::instance().fallbackFontFamily();
}

// Window style sheets name the Windows families; where they are missing, the Chinese family
// stands in so that no text falls back to a font without Chinese glyphs.
void substituteWindowsFamilies(const QString &chineseFamily)
{
    if (chineseFamily.isEmpty())
        return;
    const QStringList installed = QFontDatabase().families();
    for (const QString &family : {QStringLiteral("微软雅黑"), QStringLiteral("宋体")}) {
        if (!installed.contains(family))
            QFont::insertSubstitution(family, chineseFamily);
    }
}

void applyFont(QApplication &app)
{
    const QString family = applicationFontFamily();
    substituteWindowsFamilies(family);
    if (family.isEmpty())
        return;
    QFont font(family);
    font.setPointSize(9);
    app.setFont(font);
}

} // namespace

void applyLookAndFeel(QApplication &app, QTranslator &translator)
{
    // Only on Windows: elsewhere the locale codec also encodes file names.
    PlatformIntegration::instance().setLocaleCodec();
    // Dates and numbers look as they do on the shops' machines, whatever this system's locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    applyStyleSheet(app);
    applyFont(app);
    translator.load(QStringLiteral(":/File/qss/qt_zh_CN.qm"));
    app.installTranslator(&translator);
    app.setWindowIcon(QIcon(QStringLiteral(":/Icon/Resources/kvt.ico")));
}

void polishHiddenWindowsOnShow(QApplication &app)
{
    auto *filter = new HiddenPolish(&app);
    app.installEventFilter(filter);
    // Posted after the polish requests of the windows made, so handled after them.
    QMetaObject::invokeMethod(filter, &QObject::deleteLater, Qt::QueuedConnection);
}
