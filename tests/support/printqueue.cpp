#include "printqueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>

namespace {

// The program's output; empty when it did not end well.
QString run(const QString &program, const QStringList &arguments)
{
    // cupsd and lpadmin live in /usr/sbin, which not every PATH holds.
    QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        path =
            QStandardPaths::findExecutable(program, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path.isEmpty() ? program : path, arguments);
    const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
                    process.exitCode() == 0;
    return ok ? QString::fromUtf8(process.readAll()) : QString();
}

bool schedulerRuns()
{
    return run(QStringLiteral("lpstat"), {QStringLiteral("-r")}).contains(QLatin1String("is running"));
}

} // namespace

PrintQueue::PrintQueue()
    : m_Name(QStringLiteral("kesto_test_%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')))
{
    if (!schedulerRuns()) {
        // cupsd forks and its first process returns at once.
        run(QStringLiteral("cupsd"), {});
        QDeadlineTimer deadline(15000);
        while (!schedulerRuns() && !deadline.hasExpired())
            QThread::msleep(100);
    }
    // Label 1 puts the job id in front of each file name, so that copies stay apart.
    const QStringList options{QStringLiteral("-p"),
                              m_Name,
                              QStringLiteral("-E"),
                              QStringLiteral("-v"),
                              QStringLiteral("cups-pdf:/"),
                              QStringLiteral("-m"),
                              QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd"),
                              QStringLiteral("-o"),
                              QStringLiteral("Label=1")};
    if (!schedulerRuns() || run(QStringLiteral("lpadmin"), options).isNull())
        m_Error = QStringLiteral("no CUPS scheduler, or lpadmin cannot add a cups-pdf queue");
}

PrintQueue::~PrintQueue()
{
    run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), m_Name});
}

int PrintQueue::jobsDone(int count) const
{
    QDeadlineTimer deadline(60000);
    for (;;) {
        const bool pending =
            !run(QStringLiteral("lpstat"), {QStringLiteral("-o"), m_Name}).trimmed().isEmpty();
        const int jobs = run(QStringLiteral("lpstat"),
                             {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), m_Name})
                             .count(m_Name + QLatin1Char('-'));
        if ((!pending && jobs >= count) || deadline.hasExpired())
            return jobs;
        QThread::msleep(200);
    }
}
