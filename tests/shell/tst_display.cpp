// Every top-level window, opened as the program opens it, shows each label, button and check box
// whole inside its own rectangle, and nothing it draws overlaps what a sibling draws. CTest runs
// this at the screen's own scale, at 1.5 and on a screen of 144 dpi.

#include "account.h"
#include "captureserver.h"
#include "mainwindow/kesto.h"
#include "messagecatcher.h"
#include "payment/salesjournal.h"
#include "rows.h"
#include "shell/lookandfeel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <QTranslator>

namespace {

const QString Order = "100000000000000007";

// What a widget draws, in its parent (a label its text or picture where its alignment puts it, a
// check box its box and text, anything else all of itself), and whether its text's ink fits.
QRect drawn(QWidget *widget, bool &fits)
{
    const auto ink = [widget](const QString &text) {
        return widget->fontMetrics()
            .tightBoundingRect(QString(text).remove(QRegularExpression("&(?!&)")))
            .size();
    };
    QRect shown = widget->rect(), room = widget->contentsRect();
    QSize needed;
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QTextDocument rich;
        rich.setDefaultFont(label->font());
        rich.setDocumentMargin(0);
        rich.setHtml(label->text());
        needed = Qt::mightBeRichText(label->text()) ? rich.size().toSize() : ink(label->text());
        const QPixmap *picture = label->pixmap();
        shown = QStyle::alignedRect(
            Qt::LeftToRight, label->alignment(),
            picture ? picture->size() / picture->devicePixelRatio() : needed.boundedTo(room.size()), room);
    } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        needed = ink(box->text());
        shown.setRight(room.left() + needed.width());
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        needed = ink(button->text());
    }
    fits = needed.width() <= room.width() && needed.height() <= room.height();
    return shown.translated(widget->pos());
}

QStringList misfits(QWidget *window)
{
    QStringList found;
    QHash<QWidget *, QRect> shown;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        bool fits = true;
        if (!widget->isVisibleTo(window) || widget->isWindow())
            continue;
        if (shown[widget] = drawn(widget, fits); !fits)
            found << widget->objectName() + " is cut";
        for (auto other = shown.cbegin(); other != shown.cend(); ++other) {
            // Seams of a pixel or two where tiles meet are the design.
            const QRect common = other.value().intersected(shown[widget]);
            if (other.key() != widget && other.key()->parentWidget() == widget->parentWidget() &&
                common.width() > 2 && common.height() > 2)
                found << widget->objectName() + " overlaps " + other.key()->objectName();
        }
    }
    return found;
}

} // namespace

class TestDisplay : public QObject
{
    Q_OBJECT

private slots:
    // The refund window's widest line: the largest amount, most of it refunded, and a refund of
    // this till whose outcome is unknown.
    void initTestCase()
    {
        m_Service.setReply("/index.php/Pay/Payinterface/GetOrders",
                           {200, R"({"call":{"msg":"查询成功","out_trade_no":")" + Order.toLatin1() +
                                     R"(","total_fee":"999999999","refunds":"999999000","payt":"Kesto"}})"});
        rememberAccount(m_Service.url(QString()));
        QFile::remove(SalesJournal::defaultPath());
        SalesJournal().begin({SalesJournal::Kind::Refund, "Kesto", 999, "1_前台", QString(), Order});
        m_Kesto = std::make_unique<Kesto>();
    }

    // The main window's slot that opens the window, its class, what the cashier types, and a text
    // the window shows once it has taken that.
    void wholeTexts_data()
    {
        for (const char *column : {"slot", "window", "typed", "shown"})
            QTest::addColumn<QString>(column);
        row("sign-in", QString("Shows"), QString("WxSignin"), QString(), QString());
        row("records view", QString("showreport"), QString("Kesto"), QString(), QString());
        row("pay window, amount", QString("showpays"), QString("KestoWindow"), QString(), QString("就绪"));
        row("pay window, code", QString("showpays"), QString("KestoWindow"), QString("12.5\r"),
            QString("条形码"));
        row("refund window, widest", QString("showrefunds"), QString("wxRefunds"), Order,
            QString("结果未知"));
        row("setup", QString("Setups"), QString("WxSetup"), QString(), QString());
        row("shift summary", QString("showshift"), QString("ShiftWindow"), QString(), QString());
    }
    void wholeTexts()
    {
        QFETCH(QString, slot);
        QFETCH(QString, window);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        MessageCatcher boxes;
        slot == "Shows" ? emit m_Kesto->Shows(true, true)
                        : void(QMetaObject::invokeMethod(m_Kesto.get(), qPrintable(slot)));
        const QWidgetList all = QApplication::topLevelWidgets();
        QWidget *opened = *std::find_if(all.cbegin(), all.cend(),
                                        [&](QWidget *w) { return w->inherits(qPrintable(window)); });
        QVERIFY(QTest::qWaitForWindowExposed(opened));
        QTest::keyClicks(opened->focusWidget(), typed);
        const QList<QLabel *> labels = opened->findChildren<QLabel *>();
        QTRY_VERIFY(shown.isEmpty() || std::any_of(labels.cbegin(), labels.cend(),
                                                   [&](QLabel *l) { return l->text().contains(shown); }));
        // Amounts, payment codes and order numbers take no part in an input method's composition.
        for (QLineEdit *field : opened->findChildren<QLineEdit *>(QRegularExpression("^m_")))
            QVERIFY2(field->testAttribute(Qt::WA_InputMethodEnabled) !=
                         QStringList({"m_Money", "m_Codes", "m_refund"}).contains(field->objectName()),
                     qPrintable(field->objectName()));
        const QStringList found = misfits(opened);
        opened->hide();
        QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
    }

private:
    CaptureServer m_Service;
    std::unique_ptr<Kesto> m_Kesto;
};

int main(int argc, char *argv[])
{
    enableDisplayScaling();
    QApplication app(argc, argv);
    initResources();
    QTranslator translator;
    applyLookAndFeel(app, translator);
    TestDisplay test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_display.moc"
