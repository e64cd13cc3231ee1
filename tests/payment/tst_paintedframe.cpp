#include "payment/paintedframe.h"

#include <QPushButton>
#include <QtTest>

// What the windows share: dragged with the left button only; the "X" hides the window without
// ending the program.
class TestPaintedFrame : public QObject
{
    Q_OBJECT

private slots:
    void dragAndClose()
    {
        QWidget window;
        PaintedFrame frame(&window, PaintedFrame::payLook());
        window.resize(734, 424);
        window.move(100, 100);
        window.show();
        const QPoint start = window.pos();
        for (const Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton}) {
            const QPoint press = window.mapToGlobal(QPoint(200, 20));
            mouse(&window, QEvent::MouseButtonPress, button, press);
            mouse(&window, QEvent::MouseMove, button, press + QPoint(30, 40));
            mouse(&window, QEvent::MouseButtonRelease, button, press + QPoint(30, 40));
            mouse(&window, QEvent::MouseMove, Qt::NoButton, press + QPoint(90, 90));
        }
        QCOMPARE(window.pos(), start + QPoint(30, 40));
        QVERIFY(!window.testAttribute(Qt::WA_QuitOnClose));
        QTest::mouseClick(window.findChild<QPushButton *>(), Qt::LeftButton);
        QVERIFY(window.isHidden());
    }

private:
    static void mouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, const QPoint &global)
    {
        QMouseEvent event(type, widget->mapFromGlobal(global), global, button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
};

QTEST_MAIN(TestPaintedFrame)
#include "tst_paintedframe.moc"
