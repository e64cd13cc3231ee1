#include "payment/wxwidget.h"

WxWidget::WxWidget(QWidget *parent) : QWidget(parent), m_Frame(this, PaintedFrame::payLook()) {}

void WxWidget::mousePressEvent(QMouseEvent *event)
{
    m_Frame.mousePress(event);
}

void WxWidget::mouseReleaseEvent(QMouseEvent *event)
{
    m_Frame.mouseRelease(event);
}

void WxWidget::mouseMoveEvent(QMouseEvent *event)
{
    m_Frame.mouseMove(event);
}

void WxWidget::paintEvent(QPaintEvent *)
{
    m_Frame.paint();
}
