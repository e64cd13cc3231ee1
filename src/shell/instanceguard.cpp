#include "shell/instanceguard.h"

InstanceGuard::InstanceGuard(const QString &semaphoreKey, const QString &segmentKey)
    : m_Semaphore(semaphoreKey, 1, QSystemSemaphore::Open), m_Segment(segmentKey)
{
}

bool InstanceGuard::acquire()
{
    m_Semaphore.acquire();
    // A killed instance leaves its segment behind on Unix. Attaching and detaching removes it
    // when nobody else is attached, and leaves it alone while a live instance holds it (on
    // Windows, where segments die with their processes, it changes nothing).
    {
        QSharedMemory stale(m_Segment.key());
        if (stale.attach())
            stale.detach();
    }
    const bool created = m_Segment.create(1);
    m_Semaphore.release();
    return created;
}
