#include "setup/wxsetup.h"

WxSetup::WxSetup(QWidget *parent) : QDialog(parent)
{
    resize(371, 281);
}

void WxSetup::loadSetup()
{
    setWindowTitle(m_Config.read(QStringLiteral("jm_title")));
}
