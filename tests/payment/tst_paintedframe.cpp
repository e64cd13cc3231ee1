#include "payment/paintedframe.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QtTest>

namespace {

const QColor Dark(51, 52, 54);
const QColor Light(243, 244, 246);

class Framed : public QWidget
{
public:
    explicit Framed(const PaintedFrame::Look &look) : m_Frame(this, look) { resize(734, 424); }

private:
    PaintedFrame m_Frame;
};

void mouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, const QPoint &global)
{
    QMouseEvent event(type, widget->mapFromGlobal(global), global, button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

Q_DECLARE_METATYPE(PaintedFrame::Look)
Q_DECLARE_METATYPE(Qt::MouseButton)

class TestPaintedFrame : public QObject
{
    Q_OBJECT

private slots:
    void picture_data()
    {
        QTest::addColumn<PaintedFrame::Look>("look");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<QColor>("colour");
        const auto pay = PaintedFrame::payLook();
        const auto refund = PaintedFrame::refundLook();
        const auto setup = PaintedFrame::setupLook();
        const QSize form(734, 424);
        const QSize small(500, 300);
        QTest::newRow("pay title bar") << pay << form << QPoint(450, 20) << Dark;
        QTest::newRow("pay column") << pay << form << QPoint(87, 423) << Dark;
        QTest::newRow("pay band starts right of the column") << pay << form << QPoint(89, 39) << Light;
        QTest::newRow("pay band and its outline end at 110")
            << pay << form << QPoint(600, 111) << QColor(Qt::white);
        QTest::newRow("pay divider") << pay << form << QPoint(380, 300) << Light;
        QTest::newRow("pay bottom line") << pay << form << QPoint(300, 423) << Dark;
        QTest::newRow("pay right line, resized") << pay << small << QPoint(499, 200) << Dark;
        QTest::newRow("pay band follows the width") << pay << small << QPoint(498, 100) << Light;
        QTest::newRow("refund band from the left") << refund << form << QPoint(1, 60) << Light;
        QTest::newRow("refund left line") << refund << form << QPoint(0, 300) << Dark;
        QTest::newRow("refund has no column") << refund << form << QPoint(40, 300) << QColor(Qt::white);
        QTest::newRow("setup has no band") << setup << small << QPoint(200, 60) << QColor(Qt::white);
        QTest::newRow("setup bottom line") << setup << small << QPoint(1, 299) << Dark;
    }
    void picture()
    {
        QFETCH(PaintedFrame::Look, look);
        QFETCH(QSize, size);
        QFETCH(QPoint, pixel);
        QFETCH(QColor, colour);
        Framed window(look);
        window.resize(size);
        const QImage image = window.grab().toImage();
        QCOMPARE(image.pixelColor(pixel), colour);
        QCOMPARE(window.findChild<QPushButton *>()->geometry(), QRect(size.width() - 40, -1, 40, 40));
    }

    void dragAndClose_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QPoint>("moved");
        QTest::newRow("left button drags") << Qt::LeftButton << QPoint(30, 40);
        QTest::newRow("right button does not") << Qt::RightButton << QPoint(0, 0);
    }
    void dragAndClose()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(QPoint, moved);
        Framed window(PaintedFrame::payLook());
        window.move(100, 100);
        window.show();
        const QPoint start = window.pos();
        const QPoint press = window.mapToGlobal(QPoint(200, 20));
        mouse(&window, QEvent::MouseButtonPress, button, press);
        mouse(&window, QEvent::MouseMove, button, press + QPoint(30, 40));
        mouse(&window, QEvent::MouseButtonRelease, button, press + QPoint(30, 40));
        mouse(&window, QEvent::MouseMove, Qt::NoButton, press + QPoint(90, 90));
        QCOMPARE(window.pos(), start + moved);

        QVERIFY(!window.testAttribute(Qt::WA_QuitOnClose));
        QTest::mouseClick(window.findChild<QPushButton *>(), Qt::LeftButton);
        QVERIFY(window.isHidden());
    }
};

QTEST_MAIN(TestPaintedFrame)
#include "tst_paintedframe.moc"
