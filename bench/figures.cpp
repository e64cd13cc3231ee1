#include "bench.h"

#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <ctime>

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void settle(Figure &figure)
{
    figure.holds = figure.strict ? figure.value < figure.goal : figure.value <= figure.goal;
}

Figure ratioFigure(const QString &name, double goal, const QVector<double> &baseline,
                   const QVector<double> &measured)
{
    Figure figure;
    figure.name = name;
    figure.unit = QStringLiteral("ratio");
    figure.goal = goal;
    figure.baseline = median(baseline);
    figure.measured = median(measured);
    figure.value = *figure.baseline > 0 ? figure.measured / *figure.baseline : 0;
    figure.rounds = int(qMin(baseline.size(), measured.size()));
    settle(figure);
    return figure;
}

Figure plainFigure(const QString &name, const QString &unit, double goal, const QVector<double> &measured,
                   const QVector<double> &baseline)
{
    Figure figure;
    figure.name = name;
    figure.unit = unit;
    figure.goal = goal;
    figure.strict = true;
    figure.measured = median(measured);
    figure.value = figure.measured;
    if (!baseline.isEmpty())
        figure.baseline = median(baseline);
    figure.rounds = measured.size();
    settle(figure);
    return figure;
}

namespace {

QString number(double value)
{
    if (value != 0 && std::fabs(value) < 0.1)
        return QString::number(value, 'f', 4);
    return QString::number(std::round(value * 1000) / 1000, 'f', 3).remove(QRegExp("\\.?0+$"));
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') +
           QString(text)
               .replace(QLatin1Char('\\'), QLatin1String("\\\\"))
               .replace(QLatin1Char('"'), QLatin1String("\\\"")) +
           QLatin1Char('"');
}

} // namespace

// Written by hand to keep the keys in their reading order.
QString resultsJson(const QVector<Figure> &figures)
{
    QStringList objects;
    for (const Figure &f : figures) {
        objects << QStringLiteral(
                       "  {\"name\": %1, \"value\": %2, \"unit\": %3, \"goal\": %4, \"holds\": %5, "
                       "\"baseline\": %6, \"measured\": %7, \"rounds\": %8}")
                       .arg(quoted(f.name), number(f.value), quoted(f.unit), number(f.goal),
                            f.holds ? QStringLiteral("true") : QStringLiteral("false"),
                            f.baseline ? number(*f.baseline) : QStringLiteral("null"), number(f.measured))
                       .arg(f.rounds);
    }
    return QStringLiteral("[\n") + objects.join(QStringLiteral(",\n")) + QStringLiteral("\n]\n");
}

QString resultsTable(const QVector<Figure> &figures)
{
    QString table = QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                        .arg(QStringLiteral("figure"), -20)
                        .arg(QStringLiteral("value"), 10)
                        .arg(QStringLiteral("unit"), -6)
                        .arg(QStringLiteral("goal"), 8)
                        .arg(QStringLiteral("holds"), -6)
                        .arg(QStringLiteral("baseline"), 10)
                        .arg(QStringLiteral("measured"), 10)
                        .arg(QStringLiteral("rounds"), 6);
    for (const Figure &f : figures) {
        table += QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                     .arg(f.name, -20)
                     .arg(number(f.value), 10)
                     .arg(f.unit, -6)
                     .arg((f.strict ? QStringLiteral("<") : QStringLiteral("<=")) + number(f.goal), 8)
                     .arg(f.holds ? QStringLiteral("yes") : QStringLiteral("NO"), -6)
                     .arg(f.baseline ? number(*f.baseline) : QStringLiteral("-"), 10)
                     .arg(number(f.measured), 10)
                     .arg(f.rounds, 6);
        if (!f.note.isEmpty())
            table += QStringLiteral("  ") + f.note;
        table += QLatin1Char('\n');
    }
    return table;
}

double nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

qint64 residentKb()
{
    return residentKb(QCoreApplication::applicationPid());
}

bool BenchApplication::notify(QObject *receiver, QEvent *event)
{
    // The network's own thread delivers its events through here too.
    if (QThread::currentThread() != thread())
        return QApplication::notify(receiver, event);
    ++m_Depth;
    const bool result = QApplication::notify(receiver, event);
    if (--m_Depth == 0 && m_Watch)
        m_Watch();
    return result;
}

std::optional<double> BenchApplication::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    auto *app = static_cast<BenchApplication *>(qApp);
    if (done())
        return nowMs();
    std::optional<double> at;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    app->m_Watch = [&] {
        if (!at && done()) {
            at = nowMs();
            loop.quit();
        }
    };
    timeout.start(timeoutMs);
    loop.exec();
    app->m_Watch = nullptr;
    return at;
}

QString freshCode()
{
    // The last four digits stay clear of the endings that wait (0000, 8888), are held back (7777)
    // or are declined (9999).
    static qint64 serial = 0;
    const qint64 n = serial++;
    return QStringLiteral("13") + QString::number(n / 7000).rightJustified(12, QLatin1Char('0')) +
           QString::number(n % 7000 + 1).rightJustified(4, QLatin1Char('0'));
}
