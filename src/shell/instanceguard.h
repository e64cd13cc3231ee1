#pragma once

#include <QSharedMemory>
#include <QString>
#include <QSystemSemaphore>

// Keeps a second copy of the program from running: the first one holds a named one-byte
// shared-memory segment for its whole run. The named semaphore serialises the check so that
// two copies started at the same moment cannot both pass.
class InstanceGuard
{
public:
    InstanceGuard(const QString &semaphoreKey, const QString &segmentKey);

    // True when this process is now the only running instance.
    bool acquire();

private:
    QSystemSemaphore m_Semaphore;
    QSharedMemory m_Segment;
};
