// The benchmark of the cashier client: start-up, memory, sales through the pay window, the records
// view, the receipt, the local service under eight cashiers, and a soak of 5,000 sales. Prints a
// table and writes the figures as JSON, with a plot of resident memory over the soak beside it.
//
//     kesto-bench [--out FILE.json] [--soak SALES] [--only NAME,NAME...]
//
// Runs in an X session with a notification area (bench.sh starts Xvfb and trayer).

#include "bench.h"

#include "shell/lookandfeel.h"
#include "shell/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QThread>
#include <QTranslator>

#include <cstdio>

namespace {

QString option(const QStringList &args, const QString &name, const QString &fallback)
{
    const int at = args.indexOf(name);
    return at > 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
}

QString machine()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    QString model;
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("model name\\s*:\\s*(.*)"))
                                                  .match(QString::fromUtf8(cpuinfo.readAll()));
        model = match.captured(1).trimmed();
    }
    return QStringLiteral("%1 cores, %2").arg(QThread::idealThreadCount()).arg(model);
}

// The local payment service on a free port with a fresh database; its address, empty when it
// did not start.
QString startService(QProcess &service, const QString &folder)
{
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QStringLiteral(PAYMENT_SERVER),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--db"),
                   folder + QStringLiteral("/payment.db")});
    while (!service.canReadLine() && service.waitForReadyRead(20000)) {
    }
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^listening on ([^:]+:\\d+)"))
                                              .match(QString::fromUtf8(service.readLine()));
    return match.hasMatch() ? QStringLiteral("http://") + match.captured(1) : QString();
}

// Each distinct message once: the receipt's zero-size separator font warns at every layout, and
// thousands of sales would bury the table.
void onceEach(QtMsgType, const QMessageLogContext &, const QString &message)
{
    static QSet<QString> seen;
    if (seen.contains(message))
        return;
    seen.insert(message);
    std::fprintf(stderr, "%s (further repeats not shown)\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(onceEach);
    BenchApplication app(argc, argv);
    initResources();
    QTranslator translator;
    applyLookAndFeel(app, translator);

    const QStringList args = app.arguments();
    const QString out =
        QFileInfo(option(args, QStringLiteral("--out"), QStringLiteral(".bench/results.json")))
            .absoluteFilePath();
    const int soakSales = option(args, QStringLiteral("--soak"), QStringLiteral("5000")).toInt();
    const QStringList only =
        option(args, QStringLiteral("--only"), QString()).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const auto wanted = [&only](const char *name) {
        return only.isEmpty() || only.contains(QLatin1String(name));
    };

    QTemporaryDir work;
    QProcess service;
    BenchSetup setup;
    setup.workDir = work.path();
    setup.serviceUrl = startService(service, work.path());
    setup.kestoProgram = QStringLiteral(KESTO_PROGRAM);
    setup.minimalProgram = QStringLiteral(MINIMAL_PROGRAM);
    setup.serviceBench = QStringLiteral(PAYMENT_BENCH);
    if (setup.serviceUrl.isEmpty()) {
        std::fprintf(stderr, "the local payment service did not start\n");
        return 1;
    }

    // The windows made in this process read the settings file beside the benchmark.
    const SettingsStore config;
    QFile::remove(config.path());
    rememberTill(config, setup.serviceUrl);

    // trayer, started just before, takes a moment to offer its notification area.
    for (int i = 0; i < 100 && !QSystemTrayIcon::isSystemTrayAvailable(); ++i)
        QThread::msleep(100);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        std::fprintf(stderr, "no notification area: the client starts into its records view, not the tray\n");

    std::printf("Kesto benchmark on %s\n", qPrintable(machine()));
    std::fflush(stdout);
    const auto step = [](const char *what) {
        std::printf("  %s...\n", what);
        std::fflush(stdout);
    };
    QVector<Figure> figures;
    QVector<double> soakRss;
    if (wanted("startup_ratio") || wanted("rss_ratio")) {
        step("start-up and memory");
        figures += measureStartup(setup, 11);
    }
    if (wanted("sale_ratio")) {
        step("sales");
        figures << measureSale(31);
    }
    if (wanted("scan_to_wire_ms")) {
        step("scan to wire");
        figures << measureScanToWire(31);
    }
    if (wanted("records_fill_ms")) {
        step("records view");
        figures << measureRecords(15);
    }
    if (wanted("receipt_ms")) {
        step("receipt");
        figures << measureReceipt(setup, 51);
    }
    if (wanted("service_payment_ms")) {
        step("service, 8 clients");
        figures << measureServicePayment(setup, 3);
    }
    if (wanted("soak_rss_growth_mb")) {
        step("soak");
        figures << measureSoak(soakSales, &soakRss);
    }
    service.terminate();
    service.waitForFinished(5000);

    std::printf("\n%s", qPrintable(resultsTable(figures)));
    QDir().mkpath(QFileInfo(out).absolutePath());
    QFile json(out);
    if (!json.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        json.write(resultsJson(figures).toUtf8()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("\nwritten to %s\n", qPrintable(out));
    if (!soakRss.isEmpty()) {
        const QString plot = QFileInfo(out).absolutePath() + QStringLiteral("/soak-rss.png");
        if (drawSoakPlot(soakRss, plot))
            std::printf("soak plot: %s\n", qPrintable(plot));
    }
    return 0;
}
