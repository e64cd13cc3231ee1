#include "payment/wxwidget.h"

WxWidget::WxWidget(QWidget *parent) : QWidget(parent), m_Frame(this, PaintedFrame::payLook()) {}
