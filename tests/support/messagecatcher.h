#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

// Closes every message box that opens while it lives, and remembers "title|text" and the icon of
// each. A question is answered with `answer` where the box offers it.
struct MessageCatcher
{
    QMessageBox::StandardButton answer = QMessageBox::No;
    QStringList messages;
    QVector<QMessageBox::Icon> icons;
    QTimer timer;

    MessageCatcher()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(widget);
                if (box && box->isVisible()) {
                    messages << box->windowTitle() + '|' + box->text();
                    icons << box->icon();
                    QAbstractButton *button = box->button(answer);
                    button ? button->click() : box->accept();
                }
            }
        });
        timer.start(20);
    }
};
