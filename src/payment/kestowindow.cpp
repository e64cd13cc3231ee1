#include "payment/kestowindow.h"

KestoWindow::KestoWindow(QWidget *parent) : QWidget(parent)
{
    resize(400, 500);
    // Closing only hides it; the program lives on in the tray.
    setAttribute(Qt::WA_QuitOnClose, false);
}
