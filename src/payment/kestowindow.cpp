#include "payment/kestowindow.h"

KestoWindow::KestoWindow(QWidget *parent) : QWidget(parent)
{
    resize(400, 500);
}
