#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Closes every message box that opens while it lives, and remembers "title|text" and the icon of
// each.
class MessageCatcher : public QObject
{
    Q_OBJECT
public:
    MessageCatcher();

    QStringList messages;
    QVector<QMessageBox::Icon> icons;

private:
    void closeOpenBox();

    QTimer m_Timer;
};
