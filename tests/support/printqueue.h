#pragma once

#include <QString>

// A real CUPS queue that writes every job as a PDF (cups-pdf), added under a name of its own for
// the life of the object and removed with it; the scheduler is started when it is not running.
class PrintQueue
{
public:
    PrintQueue();
    ~PrintQueue();

    // Empty when the queue is ready, else why it is not.
    QString error() const { return m_Error; }
    QString name() const { return m_Name; }
    // The number of jobs sent to the queue, once at least `count` are done and none is pending (or
    // a minute has passed).
    int jobsDone(int count) const;

private:
    QString m_Name;
    QString m_Error;
};
