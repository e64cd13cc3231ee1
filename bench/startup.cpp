// Start-up time and resident memory of the cashier client, started with a remembered account and
// device so that it goes straight to the tray and shows its balloon, against the minimal program
// showing the same tray icon and balloon. Both are timed from
// outside: the clock is read just before the process is started, and again from the line its
// start-up probe prints when the event loop first goes idle; the resident memory is read from
// /proc while the program waits at that moment.

#include "bench.h"

#include "shell/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <cstdio>

namespace {

const QString Merchant = QStringLiteral("演示商户");
// What the client's balloon says at the start of the remembered till, which has no hotkeys set.
const QString NoHotkeys = QStringLiteral("未配置快捷键功能！");

struct Start
{
    double ms = 0;
    double rssMb = 0;
};

// One start of the program; nothing when it ended without reaching an idle event loop (a second
// instance that found another copy running, say).
std::optional<Start> startOnce(const QString &program, const QStringList &args)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KESTO_BENCH_IDLE"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QFileInfo(program).absolutePath());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double started = nowMs();
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return std::nullopt;
    while (!process.canReadLine() && process.waitForReadyRead(20000)) {
    }
    const QList<QByteArray> words = process.readLine().trimmed().split(' ');
    std::optional<Start> start;
    if (words.size() >= 2 && words[0] == "idle") {
        const qint64 rssKb = residentKb(process.processId());
        start = Start{words[1].toLongLong() / 1e6 - started, rssKb / 1024.0};
    }
    process.write("\n");
    process.closeWriteChannel();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(5000);
    }
    return start;
}

// Whether a copy of the client runs on this machine, found by its process name.
bool clientRunning()
{
    for (const QString &pid :
         QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "Kesto")
            return true;
    }
    return false;
}

std::optional<Start> start(const QString &program, const QStringList &args = {})
{
    // The client's single-instance guard holds for the whole machine: a second copy would hand
    // over to the running one (showing its balloon) and end at once. Wait for it to go.
    for (int second = 0; clientRunning(); ++second) {
        if (second == 0)
            std::fprintf(stderr, "another copy of Kesto is running; waiting for it to end\n");
        if (second == 600) {
            std::fprintf(stderr, "gave up waiting for the other copy of Kesto\n");
            return std::nullopt;
        }
        QThread::msleep(1000);
    }
    const auto result = startOnce(program, args);
    if (!result)
        std::fprintf(stderr, "%s ended before its event loop went idle\n", qPrintable(program));
    return result;
}

} // namespace

void rememberTill(const SettingsStore &config, const QString &serviceUrl)
{
    const QVector<QPair<QString, QString>> entries{{QStringLiteral("server"), serviceUrl},
                                                   {QStringLiteral("username"), QStringLiteral("demo")},
                                                   {QStringLiteral("password"), QStringLiteral("demo123")},
                                                   {QStringLiteral("remeber"), QStringLiteral("1")},
                                                   {QStringLiteral("device"), QStringLiteral("1_前台")},
                                                   {QStringLiteral("jm_title"), Merchant},
                                                   {QStringLiteral("printname"), QString()}};
    for (const auto &entry : entries)
        config.write(entry.first, entry.second);
}

QVector<Figure> measureStartup(const BenchSetup &setup, int rounds)
{
    // The client in a folder of its own, with a settings file that remembers the account and the
    // device, as a shop's till has after its first day.
    const QString folder = setup.workDir + QStringLiteral("/client");
    QDir().mkpath(folder);
    const QString client = folder + QStringLiteral("/Kesto");
    QFile::remove(client);
    QFile::copy(setup.kestoProgram, client);
    rememberTill(SettingsStore(folder + QStringLiteral("/config.dat")), setup.serviceUrl);

    const QStringList balloon{Merchant, NoHotkeys};
    // One unmeasured start each, for the file cache.
    start(setup.minimalProgram, balloon);
    start(client);
    QVector<double> minimalMs, clientMs, minimalRss, clientRss;
    for (int round = 0; round < rounds; ++round) {
        // Alternated, so that whatever else the machine does weighs on both alike.
        const auto minimal = start(setup.minimalProgram, balloon);
        const auto kesto = start(client);
        if (!minimal || !kesto)
            continue;
        minimalMs << minimal->ms;
        clientMs << kesto->ms;
        minimalRss << minimal->rssMb;
        clientRss << kesto->rssMb;
    }
    Figure time = ratioFigure(QStringLiteral("startup_ratio"), 1.10, minimalMs, clientMs);
    time.note = QStringLiteral("ms to the first idle event loop, tray and balloon shown");
    Figure memory = ratioFigure(QStringLiteral("rss_ratio"), 1.25, minimalRss, clientRss);
    memory.note = QStringLiteral("MB resident at that moment");
    return {time, memory};
}
