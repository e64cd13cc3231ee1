#include "shell/startupprobe.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace {

// Milliseconds since the process started, from the start time in /proc/self/stat (field 22, clock
// ticks since boot); -1 where it cannot be read.
double sinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold spaces; the fields after it are plain.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // Field 22 of the whole line is the 20th after the name (which is field 2).
    if (fields.size() < 20)
        return -1;
    const double startTicks = fields.at(19).toDouble();
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    return (boot.tv_sec + boot.tv_nsec / 1e9 - startTicks / sysconf(_SC_CLK_TCK)) * 1000;
}

} // namespace

void armStartupProbe()
{
    if (qEnvironmentVariableIntValue("KESTO_BENCH_IDLE") != 1)
        return;
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    auto connection = std::make_shared<QMetaObject::Connection>();
    // aboutToBlock also comes while work is still queued (the glib loop announces every wait it may
    // do); idle is when nothing is pending at that moment.
    *connection =
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [dispatcher, connection] {
            if (dispatcher->hasPendingEvents())
                return;
            QObject::disconnect(*connection);
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("idle %lld %.1f\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                        sinceProcessStart());
            std::fflush(stdout);
            for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
            }
            QCoreApplication::quit();
        });
}
