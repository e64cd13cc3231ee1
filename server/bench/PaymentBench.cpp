// Measures how long a WeChat Pay payment takes over loopback, from the request leaving the client
// to the parsed reply, and writes the figures to standard output and to a file. With --clients N,
// N clients pay at once, each on a connection and thread of its own, COUNT payments each.

#include "HttpServer.h"
#include "PaymentService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <httplib.h>
#include <iostream>
#include <thread>
#include <vector>

namespace {

double percentile(const std::vector<double> &sorted, double fraction)
{
    const size_t index =
        std::min(sorted.size() - 1, static_cast<size_t>(fraction * (sorted.size() - 1) + 0.5));
    return sorted[index];
}

// The n-th payment code (from 0), always one that is paid at once: the last four digits run from
// 0001 to 7000, clear of the endings that wait, hold the reply back or decline.
std::string paidAtOnce(int n)
{
    return "13" + QString::number(n / 7000).rightJustified(12, QLatin1Char('0')).toStdString() +
           QString::number(n % 7000 + 1).rightJustified(4, QLatin1Char('0')).toStdString();
}

struct ClientRun
{
    std::vector<double> millis;
    int failures = 0;
};

// One client: `warmUp` unmeasured payments, then `count` measured ones; its codes are the n-th
// for n = first, first + step, ...
ClientRun pay(int port, int warmUp, int count, int first, int step)
{
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    ClientRun run;
    for (int i = 0; i < warmUp + count; ++i) {
        const std::string code = paidAtOnce(first + i * step);
        const std::string body =
            "username=demo&password=demo123&codes=" + code + "&price=12.34&drive=1_%E5%89%8D%E5%8F%B0";
        const auto start = std::chrono::steady_clock::now();
        const auto reply =
            client.Post("/index.php/Pay/Payinterface/kesto", body, "application/x-www-form-urlencoded");
        const QJsonObject call = reply ? QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))
                                             .object()
                                             .value(QStringLiteral("call"))
                                             .toObject()
                                       : QJsonObject();
        const auto end = std::chrono::steady_clock::now();
        if (call.value(QStringLiteral("msg")).toString() != QStringLiteral("支付成功"))
            ++run.failures;
        if (i >= warmUp)
            run.millis.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int outIndex = args.indexOf(QStringLiteral("--out"));
    const QString outPath = outIndex > 0 && outIndex + 1 < args.size()
                                ? args[outIndex + 1]
                                : QDir::current().filePath(QStringLiteral("payment-bench.txt"));
    const int countIndex = args.indexOf(QStringLiteral("--count"));
    const int count = countIndex > 0 && countIndex + 1 < args.size() ? args[countIndex + 1].toInt() : 2000;
    const int clientsIndex = args.indexOf(QStringLiteral("--clients"));
    const int clients =
        clientsIndex > 0 && clientsIndex + 1 < args.size() ? args[clientsIndex + 1].toInt() : 1;
    if (count < 1 || clients < 1) {
        std::cerr << "usage: payment-server-bench [--count N] [--clients N] [--out FILE]\n";
        return 2;
    }

    QTemporaryDir dir;
    PaymentService service(dir.filePath(QStringLiteral("bench.db")), ServiceConfig());
    HttpServer http(service.router());
    const int port = http.bind("127.0.0.1", 0);
    std::thread serving([&http] { http.run(); });

    const int warmUp = 50;
    std::vector<ClientRun> runs(clients);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back(
            [&runs, port, warmUp, count, clients, c] { runs[c] = pay(port, warmUp, count, c, clients); });
    for (std::thread &thread : threads)
        thread.join();
    std::vector<double> millis;
    int failures = 0;
    for (const ClientRun &run : runs) {
        millis.insert(millis.end(), run.millis.begin(), run.millis.end());
        failures += run.failures;
    }
    http.stop();
    serving.join();

    std::sort(millis.begin(), millis.end());
    double total = 0;
    for (const double m : millis)
        total += m;
    QString report;
    QTextStream(&report) << "payment-server benchmark: WeChat Pay payment over loopback (keep-alive)\n"
                         << "clients: " << clients << "\n"
                         << "payments: " << count * clients << " (after " << warmUp * clients
                         << " warm-up), failed: " << failures << "\n"
                         << "median ms: " << QString::number(percentile(millis, 0.5), 'f', 3) << "\n"
                         << "p90 ms: " << QString::number(percentile(millis, 0.9), 'f', 3) << "\n"
                         << "p99 ms: " << QString::number(percentile(millis, 0.99), 'f', 3) << "\n"
                         << "mean ms: " << QString::number(total / millis.size(), 'f', 3) << "\n"
                         << "max ms: " << QString::number(millis.back(), 'f', 3) << "\n";
    std::cout << report.toStdString() << std::flush;
    QFile file(outPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::cerr << "cannot write " << outPath.toStdString() << "\n";
        return 1;
    }
    file.write(report.toUtf8());
    std::cout << "written to " << QDir::toNativeSeparators(outPath).toStdString() << "\n";
    return failures == 0 ? 0 : 1;
}
