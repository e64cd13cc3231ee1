#include "payment/paintedframe.h"
#include "rows.h"

#include <QPushButton>

namespace {

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

// What the windows share: dragging, and the "X".
class TestPaintedFrame : public QObject
{
    Q_OBJECT

private slots:
    // Dragged with the left button only; the "X" hides the window without ending the program.
    void dragAndClose_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("moved");
        row("left button drags", int(Qt::LeftButton), QPoint(30, 40));
        row("right button does not", int(Qt::RightButton), QPoint(0, 0));
    }
    void dragAndClose()
    {
        QFETCH(int, button);
        QFETCH(QPoint, moved);
        Framed window(PaintedFrame::payLook());
        window.move(100, 100);
        window.show();
        const QPoint start = window.pos();
        const QPoint press = window.mapToGlobal(QPoint(200, 20));
        mouse(&window, QEvent::MouseButtonPress, Qt::MouseButton(button), press);
        mouse(&window, QEvent::MouseMove, Qt::MouseButton(button), press + QPoint(30, 40));
        mouse(&window, QEvent::MouseButtonRelease, Qt::MouseButton(button), press + QPoint(30, 40));
        mouse(&window, QEvent::MouseMove, Qt::NoButton, press + QPoint(90, 90));
        QCOMPARE(window.pos(), start + moved);
        QVERIFY(!window.testAttribute(Qt::WA_QuitOnClose));
        QTest::mouseClick(window.findChild<QPushButton *>(), Qt::LeftButton);
        QVERIFY(window.isHidden());
    }
};

QTEST_MAIN(TestPaintedFrame)
#include "tst_paintedframe.moc"
