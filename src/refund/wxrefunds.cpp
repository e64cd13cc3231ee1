#include "refund/wxrefunds.h"

wxRefunds::wxRefunds(QWidget *parent) : QWidget(parent)
{
    resize(400, 300);
    // Closing only hides it; the program lives on in the tray.
    setAttribute(Qt::WA_QuitOnClose, false);
}

void wxRefunds::ShowDialog()
{
    show();
}

void wxRefunds::KeyShow()
{
    if (isHidden())
        ShowDialog();
    else
        hide();
}
