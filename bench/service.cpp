// The local payment service under eight cashiers at once, by the service's own benchmark
// (payment-server-bench), against one cashier alone.

#include "bench.h"

#include <QProcess>
#include <QRegularExpression>

#include <cstdio>

namespace {

// The median payment of one run of payment-server-bench; nothing when it failed.
std::optional<double> benchRun(const BenchSetup &setup, int clients, int count)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(setup.serviceBench,
                  {QStringLiteral("--clients"), QString::number(clients), QStringLiteral("--count"),
                   QString::number(count), QStringLiteral("--out"),
                   setup.workDir + QStringLiteral("/payment-bench.txt")});
    if (!process.waitForFinished(600000) || process.exitCode() != 0) {
        std::fprintf(stderr, "payment-server-bench --clients %d failed\n", clients);
        return std::nullopt;
    }
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("median ms: ([0-9.]+)"))
                                              .match(QString::fromUtf8(process.readAll()));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toDouble();
}

} // namespace

Figure measureServicePayment(const BenchSetup &setup, int rounds)
{
    QVector<double> alone, eight;
    for (int round = 0; round < rounds; ++round) {
        const auto one = benchRun(setup, 1, 400);
        const auto many = benchRun(setup, 8, 250);
        if (one && many) {
            alone << *one;
            eight << *many;
        }
    }
    Figure figure = plainFigure(QStringLiteral("service_payment_ms"), QStringLiteral("ms"), 5, eight, alone);
    figure.note = QStringLiteral("median payment, 8 clients x 250 per round; baseline: 1 client");
    return figure;
}
