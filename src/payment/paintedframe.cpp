#include "payment/paintedframe.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QWidget>

namespace {

const QColor Dark(51, 52, 54);
const QColor Light(243, 244, 246);
constexpr int TitleHeight = 38;

void fill(QPainter &painter, const QRect &rect, const QColor &colour)
{
    painter.setPen(colour);
    painter.setBrush(colour);
    painter.drawRect(rect);
}

} // namespace

PaintedFrame::Look PaintedFrame::payLook()
{
    Look look;
    look.iconAt = {6, 9};
    look.titleSpacing = 5;
    look.leftColumn = true;
    look.band = true;
    look.bandX = 89;
    look.dividerX = 380;
    look.bottomFromX = 39;
    return look;
}

PaintedFrame::Look PaintedFrame::refundLook()
{
    Look look;
    look.iconAt = {6, 7};
    look.band = true;
    look.leftEdge = true;
    return look;
}

PaintedFrame::Look PaintedFrame::setupLook()
{
    Look look;
    look.iconAt = {6, 9};
    look.leftEdge = true;
    return look;
}

PaintedFrame::PaintedFrame(QWidget *window, const Look &look)
    : m_Window(window), m_Look(look), m_Close(new QPushButton(QStringLiteral("X"), window))
{
    window->installEventFilter(this);
    window->setWindowFlags(Qt::FramelessWindowHint);
    // Closing only hides it; the program lives on in the tray.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    m_Close->setFlat(true);
    m_Close->setFocusPolicy(Qt::NoFocus);
    m_Close->setFont(QFont(QStringLiteral("微软雅黑"), 12));
    m_Close->setStyleSheet(
        QStringLiteral("QPushButton{color:#FFF;background-color:#424B54;border:none}\n"
                       "QPushButton:hover{color:#FFF;background-color:#CC0000;border:none}"));
    QObject::connect(m_Close, &QPushButton::clicked, window, &QWidget::hide);
}

bool PaintedFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_Window)
        return false;
    switch (event->type()) {
    case QEvent::Paint:
        paint();
        return true;
    case QEvent::MouseButtonPress:
        m_Drag.press(m_Window, static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::MouseMove:
        m_Drag.move(m_Window, static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::MouseButtonRelease:
        m_Drag.release(static_cast<QMouseEvent *>(event));
        return true;
    default:
        return false;
    }
}

void PaintedFrame::paint()
{
    const int w = m_Window->width();
    const int h = m_Window->height();
    QPainter painter(m_Window);
    fill(painter, QRect(0, 0, w, h), Qt::white);
    fill(painter, QRect(0, 0, w, TitleHeight), Dark);
    // At this window's screen's pixel ratio, which the application-wide one may not be.
    painter.drawPixmap(m_Look.iconAt, m_Window->windowIcon().pixmap(m_Window->windowHandle(), QSize(24, 24)));

    QFont font(QStringLiteral("微软雅黑"), 13);
    font.setLetterSpacing(QFont::AbsoluteSpacing, m_Look.titleSpacing);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(40, 7, 400, 30), Qt::AlignLeft, m_Window->windowTitle());

    if (m_Look.leftColumn)
        fill(painter, QRect(0, TitleHeight, 88, h), Dark);
    if (m_Look.band) {
        // The pay window's band starts right of its column and reaches one pixel past the edge.
        const int inset = m_Look.bandX > 0 ? m_Look.bandX - 1 : 0;
        fill(painter, QRect(m_Look.bandX, 39, w - inset, 71), Light);
    }
    m_Close->setGeometry(w - 40, -1, 40, 40);

    if (m_Look.dividerX >= 0) {
        painter.setPen(Light);
        painter.drawLine(m_Look.dividerX, 39, m_Look.dividerX, h);
    }
    painter.setPen(Dark);
    if (m_Look.leftEdge)
        painter.drawLine(0, 39, 0, h);
    painter.drawLine(m_Look.bottomFromX, h - 1, w - 1, h - 1);
    painter.drawLine(w - 1, 39, w - 1, h - 1);
}

void WindowDrag::press(QWidget *window, const QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_PressPosition = event->globalPos();
    m_WindowPosition = window->pos();
    m_Dragging = true;
}

void WindowDrag::move(QWidget *window, const QMouseEvent *event) const
{
    if (m_Dragging)
        window->move(m_WindowPosition + event->globalPos() - m_PressPosition);
}

void WindowDrag::release(const QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_Dragging = false;
}
