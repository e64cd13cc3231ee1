#include "refund/wxrefunds.h"

wxRefunds::wxRefunds(QWidget *parent) : QWidget(parent)
{
    resize(400, 300);
}

void wxRefunds::ShowDialog()
{
    show();
}
