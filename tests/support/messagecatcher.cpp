#include "messagecatcher.h"

#include <QApplication>
#include <QMessageBox>

MessageCatcher::MessageCatcher()
{
    connect(&m_Timer, &QTimer::timeout, this, &MessageCatcher::closeOpenBox);
    m_Timer.start(20);
}

void MessageCatcher::closeOpenBox()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(widget);
        if (box && box->isVisible()) {
            messages << box->windowTitle() + QLatin1Char('|') + box->text();
            icons << box->icon();
            box->accept();
        }
    }
}
