#include "setup/wxsetup.h"

WxSetup::WxSetup(QWidget *parent) : QDialog(parent)
{
    resize(371, 281);
    // Closing only hides it; the program lives on in the tray.
    setAttribute(Qt::WA_QuitOnClose, false);
}

void WxSetup::loadSetup()
{
    setWindowTitle(m_Config.read(QStringLiteral("jm_title")));
}
