#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

// Closes every message box that opens while it lives, and remembers "title|text" of each.
class MessageCatcher : public QObject
{
    Q_OBJECT
public:
    MessageCatcher();

    QStringList messages;

private:
    void closeOpenBox();

    QTimer m_Timer;
};
