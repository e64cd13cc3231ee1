#pragma once

#include "payment/paintedframe.h"

#include <QWidget>

// A frameless window with the pay window's painted frame: dark title bar and left column, light
// band, an "X" that hides it, and dragging with the left button.
class WxWidget : public QWidget
{
    Q_OBJECT
public:
    explicit WxWidget(QWidget *parent = nullptr);

private:
    PaintedFrame m_Frame;
};
