#include "printqueue.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <pwd.h>
#include <unistd.h>

namespace {

struct Run
{
    bool ok = false;
    QString output;
};

Run run(const QString &program, const QStringList &arguments)
{
    // cupsd and lpadmin live in /usr/sbin, which not every PATH holds.
    QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        path =
            QStandardPaths::findExecutable(program, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(path.isEmpty() ? program : path, arguments);
    Run result;
    result.ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
                process.exitCode() == 0;
    result.output = QString::fromUtf8(process.readAll());
    if (process.error() == QProcess::FailedToStart)
        result.output = program + QStringLiteral(" cannot be started");
    return result;
}

bool schedulerRuns()
{
    return run(QStringLiteral("lpstat"), {QStringLiteral("-r")}).output.contains(QLatin1String("is running"));
}

// Where cups-pdf puts the files of the current user's jobs.
QString outputDir()
{
    QString dir = QStringLiteral("${HOME}/PDF");
    QFile config(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (config.open(QIODevice::ReadOnly)) {
        const QRegularExpression out(QStringLiteral("^\\s*Out\\s+(.+?)\\s*$"),
                                     QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = out.match(QString::fromUtf8(config.readAll()));
        if (match.hasMatch())
            dir = match.captured(1);
    }
    // cups-pdf takes the home folder from the user database, not from the environment.
    const passwd *user = getpwuid(getuid());
    if (!user)
        return dir;
    return dir.replace(QLatin1String("${HOME}"), QString::fromLocal8Bit(user->pw_dir))
        .replace(QLatin1String("${USER}"), QString::fromLocal8Bit(user->pw_name));
}

} // namespace

PrintQueue::PrintQueue()
    : m_Name(QStringLiteral("kesto_test_%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))),
      m_OutputDir(outputDir())
{
    if (!schedulerRuns()) {
        // cupsd forks and its first process returns at once.
        const Run started = run(QStringLiteral("cupsd"), {});
        QDeadlineTimer deadline(15000);
        while (!schedulerRuns() && !deadline.hasExpired())
            QThread::msleep(100);
        if (!schedulerRuns()) {
            m_Error = QStringLiteral("the CUPS scheduler does not run and cupsd did not start it: ") +
                      started.output;
            return;
        }
    }
    // Label 1 puts the job id in front of each file name: copies with the same title stay apart.
    // The default conversion through Ghostscript leaves no text in the PDF to read back; through
    // Cairo it keeps it.
    const Run added = run(QStringLiteral("lpadmin"),
                          {QStringLiteral("-p"), m_Name, QStringLiteral("-E"), QStringLiteral("-v"),
                           QStringLiteral("cups-pdf:/"), QStringLiteral("-m"),
                           QStringLiteral("lsb/usr/cups-pdf/CUPS-PDF_opt.ppd"), QStringLiteral("-o"),
                           QStringLiteral("Label=1"), QStringLiteral("-o"),
                           QStringLiteral("pdftops-renderer-default=pdftocairo")});
    if (!added.ok)
        m_Error = QStringLiteral("lpadmin cannot add a cups-pdf queue: ") + added.output;
}

PrintQueue::~PrintQueue()
{
    if (!m_Error.isEmpty())
        return;
    const QStringList ids = jobs();
    run(QStringLiteral("lpadmin"), {QStringLiteral("-x"), m_Name});
    QDir output(m_OutputDir);
    for (const QString &id : ids) {
        for (const QString &file : output.entryList({QStringLiteral("job_%1-*.pdf").arg(id)}, QDir::Files))
            output.remove(file);
    }
    QFile::remove(QStringLiteral("/var/log/cups/cups-pdf-%1_log").arg(m_Name));
}

QStringList PrintQueue::jobs() const
{
    const QString listed = run(QStringLiteral("lpstat"),
                               {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), m_Name})
                               .output;
    QList<int> ids;
    const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(m_Name) +
                                      QStringLiteral("-(\\d+)\\s"),
                                  QRegularExpression::MultilineOption);
    for (QRegularExpressionMatchIterator it = line.globalMatch(listed); it.hasNext();)
        ids << it.next().captured(1).toInt();
    std::sort(ids.begin(), ids.end());
    QStringList texts;
    for (int id : ids)
        texts << QString::number(id);
    return texts;
}

QStringList PrintQueue::waitForPdfs(int count, int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const bool pending =
            !run(QStringLiteral("lpstat"), {QStringLiteral("-o"), m_Name}).output.trimmed().isEmpty();
        const QStringList ids = jobs();
        if (!pending && ids.size() >= count) {
            QStringList pdfs;
            const QDir output(m_OutputDir);
            for (const QString &id : ids) {
                const QStringList files =
                    output.entryList({QStringLiteral("job_%1-*.pdf").arg(id)}, QDir::Files);
                if (files.size() != 1)
                    return {};
                pdfs << output.filePath(files.first());
            }
            return pdfs;
        }
        if (deadline.hasExpired())
            return {};
        QThread::msleep(200);
    }
}

QString PrintQueue::pdfText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}).output;
}

QSizeF PrintQueue::pdfPageSize(const QString &pdf, int *pages)
{
    const QString info = run(QStringLiteral("pdfinfo"), {pdf}).output;
    if (pages)
        *pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(info);
    return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()) : QSizeF();
}
