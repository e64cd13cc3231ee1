// Every top-level window, opened as the program opens it, shows each label, button and check box
// whole inside its own rectangle, and nothing it draws overlaps what a sibling draws. CTest runs
// this at the screen's own scale, at 1.5 and on a screen of 144 dpi.

#include "account.h"
#include "captureserver.h"
#include "mainwindow/kesto.h"
#include "mainwindow/shiftwindow.h"
#include "messagecatcher.h"
#include "payment/kestowindow.h"
#include "payment/salesjournal.h"
#include "refund/wxrefunds.h"
#include "rows.h"
#include "setup/wxsetup.h"
#include "shell/lookandfeel.h"
#include "signin/wxsignin.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <QTranslator>

namespace {

const QString Order = "100000000000000007";

template <typename Window> QWidget *topLevel()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<Window *>(widget))
            return widget;
    }
    return nullptr;
}
using Finder = QWidget *(*)();

// What a widget draws, in its parent: a label its text or picture where its alignment puts it, a
// check box its box and text, any other widget all of itself; with the room its text has and the
// room the text's ink takes.
QRect drawn(QWidget *widget, QSize &room, QSize &needed)
{
    const auto ink = [widget](const QString &text) {
        return widget->fontMetrics()
            .tightBoundingRect(QString(text).remove(QRegularExpression("&(?!&)")))
            .size();
    };
    QRect shown = widget->rect();
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QTextDocument rich;
        rich.setDefaultFont(label->font());
        rich.setDocumentMargin(0);
        rich.setHtml(label->text());
        room = label->contentsRect().size();
        needed = Qt::mightBeRichText(label->text()) ? rich.size().toSize() : ink(label->text());
        const QPixmap *picture = label->pixmap();
        shown = QStyle::alignedRect(label->layoutDirection(), label->alignment(),
                                    picture ? picture->size() / picture->devicePixelRatio()
                                            : needed.boundedTo(room),
                                    label->contentsRect());
    } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect text = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        room = text.size();
        needed = ink(box->text());
        shown.setRight(text.left() + needed.width());
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        room = button->contentsRect().size();
        needed = ink(button->text());
    }
    return shown.translated(widget->pos());
}

QStringList misfits(QWidget *window)
{
    QStringList found;
    QHash<QWidget *, QRect> shown;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(window) || widget->isWindow())
            continue;
        QSize room, needed;
        const QRect mine = shown[widget] = drawn(widget, room, needed);
        if (needed.width() > room.width() || needed.height() > room.height())
            found << widget->objectName() + " is cut";
        for (auto other = shown.cbegin(); other != shown.cend(); ++other) {
            // Seams of a pixel or two where tiles meet are the design.
            const QRect common = other.value().intersected(mine);
            if (other.key() != widget && other.key()->parentWidget() == widget->parentWidget() &&
                common.width() > 2 && common.height() > 2)
                found << widget->objectName() + " overlaps " + other.key()->objectName();
        }
    }
    return found;
}

} // namespace

Q_DECLARE_METATYPE(Finder)

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

    // The main window's slot that opens the window, what the cashier types, and a text the window
    // shows once it has taken it.
    void wholeTexts_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<Finder>("find");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        row("sign-in", QString("Shows"), &topLevel<WxSignin>, QString(), QString());
        row("records view", QString("showreport"), &topLevel<Kesto>, QString(), QString());
        row("pay window, amount", QString("showpays"), &topLevel<KestoWindow>, QString(),
            QString("软件准备就绪"));
        row("pay window, code", QString("showpays"), &topLevel<KestoWindow>, QString("12.5\r"),
            QString("等待输入条形码"));
        row("refund window, widest order", QString("showrefunds"), &topLevel<wxRefunds>, Order,
            QString("结果未知"));
        row("setup", QString("Setups"), &topLevel<WxSetup>, QString(), QString());
        row("shift summary", QString("showshift"), &topLevel<ShiftWindow>, QString(), QString());
    }
    void wholeTexts()
    {
        QFETCH(QString, slot);
        QFETCH(Finder, find);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        MessageCatcher boxes;
        if (slot == "Shows")
            emit m_Kesto->Shows(true, true);
        else
            QMetaObject::invokeMethod(m_Kesto.get(), qPrintable(slot));
        QWidget *window = find();
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QTest::keyClicks(window->focusWidget(), typed);
        const QList<QLabel *> labels = window->findChildren<QLabel *>();
        QTRY_VERIFY(shown.isEmpty() || std::any_of(labels.cbegin(), labels.cend(), [&](QLabel *label) {
                        return label->text().contains(shown);
                    }));
        const QStringList found = misfits(window);
        window->hide();
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
