#include "printqueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>

namespace {

// Whether the program ended well, and its output. cupsd and lpadmin live in /usr/sbin, which not
// every PATH holds.
bool run(const QString &program, const QStringList &arguments = {}, QString *output = nullptr)
{
    const QString path = QStandardPaths::findExecutable(program, {"/usr/sbin", "/sbin"});
    QProcess process;
    process.start(path.isEmpty() ? program : path, arguments);
    const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
                    process.exitCode() == 0;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return ok;
}

QString outputOf(const QString &program, const QStringList &arguments)
{
    QString output;
    run(program, arguments, &output);
    return output;
}

bool schedulerRuns()
{
    return outputOf("lpstat", {"-r"}).contains("is running");
}

} // namespace

PrintQueue::PrintQueue()
    : m_Name(QString("kesto_test_%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')))
{
    // cupsd forks and its first process returns at once.
    if (!schedulerRuns())
        run("cupsd");
    for (QDeadlineTimer deadline(15000); !schedulerRuns() && !deadline.hasExpired();)
        QThread::msleep(100);
    // Label 1 puts the job id in front of each file name, so that copies stay apart.
    if (!run("lpadmin", {"-p", m_Name, "-E", "-v", "cups-pdf:/", "-m", "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd",
                         "-o", "Label=1"}))
        m_Error = "no CUPS scheduler, or lpadmin cannot add a cups-pdf queue";
}

PrintQueue::~PrintQueue()
{
    run("lpadmin", {"-x", m_Name});
}

int PrintQueue::jobsDone(int count) const
{
    for (QDeadlineTimer deadline(60000);; QThread::msleep(200)) {
        const bool pending = !outputOf("lpstat", {"-o", m_Name}).trimmed().isEmpty();
        const int jobs = outputOf("lpstat", {"-W", "all", "-o", m_Name}).count(m_Name + '-');
        if ((!pending && jobs >= count) || deadline.hasExpired())
            return jobs;
    }
}
