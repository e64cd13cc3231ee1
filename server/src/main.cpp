#include "HttpServer.h"
#include "Options.h"
#include "PaymentService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <iostream>
#include <pthread.h>
#include <thread>

namespace {

QString databasePath(const Options &options)
{
    const QString path = options.database.isEmpty()
                             ? QCoreApplication::applicationDirPath() + QStringLiteral("/data/payment.db")
                             : options.database;
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

// SIGINT and SIGTERM are taken by one waiting thread, which stops the server cleanly, instead of
// by a handler that could interrupt a transaction.
sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    const QString error = options.parse(app.arguments().mid(1));
    if (!error.isEmpty()) {
        std::cerr << error.toStdString() << "\n\n" << Options::helpText().toStdString();
        return 2;
    }
    if (options.help) {
        std::cout << Options::helpText().toStdString() << std::flush;
        return 0;
    }

    const sigset_t stopSet = stopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);

    ServiceConfig config;
    config.clientVersion = options.clientVersion;
    config.confirmDelayMs = qint64(options.confirmDelaySeconds) * 1000;
    config.slowReplyMs = qint64(options.slowReplySeconds) * 1000;
    try {
        PaymentService service(databasePath(options), config);
        HttpServer http(service.router(), options.tlsCertificate.toStdString(), options.tlsKey.toStdString());
        if (!http.isValid()) {
            std::cerr << "cannot load the certificate or key\n";
            return 1;
        }
        const int port = http.bind(options.host.toStdString(), options.port);
        if (port < 0) {
            std::cerr << "cannot listen on " << options.host.toStdString() << ":" << options.port << "\n";
            return 1;
        }
        std::cout << "listening on " << options.host.toStdString() << ":" << port << std::endl;

        std::thread waiter([&http, &service, stopSet] {
            int received = 0;
            sigwait(&stopSet, &received);
            service.releaseHeldReplies();
            http.stop();
        });
        waiter.detach();
        http.run();
    } catch (const std::exception &e) {
        std::cerr << "payment-server: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
