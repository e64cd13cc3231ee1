#pragma once

#include <QObject>
#include <QPoint>

class QMouseEvent;
class QPushButton;
class QWidget;

// Moving a frameless window with the left mouse button: where the press was and where the window
// was then, so that the window follows the mouse.
class WindowDrag
{
public:
    // A left-button press starts a drag of `window`.
    void press(QWidget *window, const QMouseEvent *event);
    void move(QWidget *window, const QMouseEvent *event) const;
    void release(const QMouseEvent *event);

private:
    bool m_Dragging = false;
    QPoint m_PressPosition;
    QPoint m_WindowPosition;
};

// The dark title bar, the "X" that hides the window and left-button dragging, shared by the
// frameless windows. It watches its window's paint and mouse events; the look says where the
// window's own decorations go, so that each keeps its own picture.
class PaintedFrame : public QObject
{
public:
    struct Look
    {
        QPoint iconAt;
        int titleSpacing = 0;    // absolute letter spacing of the title, in pixels
        bool leftColumn = false; // dark column under the title bar, 88 px wide
        bool band = false;       // light band under the title bar, down to y = 109
        int bandX = 0;           // where the band starts; it runs to the right edge
        int dividerX = -1;       // light vertical line under the band, if any
        bool leftEdge = false;   // dark line along the left edge
        int bottomFromX = 0;     // where the dark bottom line starts
    };
    static Look payLook();
    static Look refundLook();
    static Look setupLook();

    // Makes the window frameless, keeps the program running when it closes, and adds the "X".
    PaintedFrame(QWidget *window, const Look &look);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paint();

    QWidget *m_Window;
    Look m_Look;
    QPushButton *m_Close;
    WindowDrag m_Drag;
};
