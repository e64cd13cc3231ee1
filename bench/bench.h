#pragma once

#include <QApplication>
#include <QString>
#include <QVector>

#include <functional>
#include <optional>

// One figure of the benchmark, as written to the results file.
struct Figure
{
    QString name;
    double value = 0;
    QString unit;
    double goal = 0;
    bool strict = false; // the goal is "below" rather than "at most"
    bool holds = false;
    std::optional<double> baseline;
    double measured = 0;
    int rounds = 0;
    QString note; // shown in the table only
};

double median(QVector<double> values);
// measured / baseline of the medians.
Figure ratioFigure(const QString &name, double goal, const QVector<double> &baseline,
                   const QVector<double> &measured);
// The median of `measured` in `unit`, with the median of `baseline` beside it where there is one.
Figure plainFigure(const QString &name, const QString &unit, double goal, const QVector<double> &measured,
                   const QVector<double> &baseline = {});
void settle(Figure &figure);

QString resultsJson(const QVector<Figure> &figures);
QString resultsTable(const QVector<Figure> &figures);

// CLOCK_MONOTONIC in milliseconds; the start-up probe of the programs prints the same clock.
double nowMs();
// VmRSS of a process from /proc/PID/status, in kB (0 when it cannot be read).
qint64 residentKb(qint64 pid);
qint64 residentKb();

// The application of the benchmark: after every event that the event loop delivers, it runs the
// current watch, so that the end of a timed stretch is taken right after the event that ends it.
class BenchApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override;

    // Runs the event loop until `done` holds after an event, or `timeoutMs` pass; returns the
    // moment (nowMs) it first held, or nothing.
    static std::optional<double> waitFor(const std::function<bool()> &done, int timeoutMs = 10000);

private:
    int m_Depth = 0;
    std::function<void()> m_Watch;
};

// Payment codes for WeChat Pay that are paid at once, a fresh one at every call.
QString freshCode();

// Where the parts of the benchmark find the service and the programs.
struct BenchSetup
{
    QString serviceUrl;   // the local payment service, started by the benchmark
    QString workDir;      // a temporary folder of this run
    QString kestoProgram; // the cashier client
    QString minimalProgram;
    QString serviceBench; // payment-server-bench
};

class SettingsStore;
// Settings of a till after its first day: account and device remembered, the local service, no
// receipt printer.
void rememberTill(const SettingsStore &config, const QString &serviceUrl);

QVector<Figure> measureStartup(const BenchSetup &setup, int rounds);
Figure measureReceipt(const BenchSetup &setup, int rounds);
Figure measureRecords(int rounds);
Figure measureSale(int rounds);
Figure measureScanToWire(int rounds);
Figure measureServicePayment(const BenchSetup &setup, int rounds);
// The soak; the resident memory after each sale goes to `rssMb`.
Figure measureSoak(int sales, QVector<double> *rssMb);
bool drawSoakPlot(const QVector<double> &rssMb, const QString &path);
