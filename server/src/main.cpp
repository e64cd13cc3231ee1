#include "HttpServer.h"
#include "Options.h"
#include "PaymentService.h"
#include "TlsContext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <arpa/inet.h>
#include <csignal>
#include <iostream>
#include <pthread.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// Beside the executable when run from a build; installed, in the user's data folder, since
// /usr/bin is no place for data.
QString defaultDatabase()
{
#ifdef KESTO_PACKAGE
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/kesto-payment-server/payment.db");
#else
    return QCoreApplication::applicationDirPath() + QStringLiteral("/data/payment.db");
#endif
}

QString databasePath(const Options &options)
{
    const QString path = options.database.isEmpty() ? defaultDatabase() : options.database;
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

bool isLoopback(const std::string &host)
{
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    return host == "localhost" || (inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6));
}

// One line from standard input, not echoed when it is a terminal.
std::string readPassword(const std::string &username)
{
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~ECHO;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        std::cerr << "new password for " << username << ": " << std::flush;
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cerr << "\n";
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

int setPassword(const Options &options)
{
    const std::string username = options.setPasswordFor.toStdString();
    const QString password = QString::fromStdString(readPassword(username));
    if (password.isEmpty()) {
        std::cerr << "payment-server: no password given on standard input\n";
        return 2;
    }
    PaymentService(databasePath(options), ServiceConfig()).setPassword(options.setPasswordFor, password);
    std::cout << "password set for " << username << std::endl;
    return 0;
}

int serve(const Options &options)
{
    std::unique_ptr<TlsContext> tls;
    // Before the database is created or seeded, so that a typo leaves nothing behind.
    if (!options.tlsCertificate.isEmpty()) {
        std::string error;
        tls = TlsContext::load(options.tlsCertificate.toStdString(), options.tlsKey.toStdString(), error);
        if (!tls) {
            std::cerr << "payment-server: " << error << "\n";
            return 1;
        }
    } else if (!isLoopback(options.host.toStdString())) {
        std::cerr
            << "payment-server: warning: serving plain HTTP on " << options.host.toStdString()
            << ": passwords and payments will cross the network readable (use --tls-cert and --tls-key)\n";
    }

    const sigset_t stopSet = stopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
    // A client gone while TLS writes its reply must not end the server.
    std::signal(SIGPIPE, SIG_IGN);

    ServiceConfig config;
    config.clientVersion = options.clientVersion;
    config.confirmDelayMs = qint64(options.confirmDelaySeconds) * 1000;
    config.slowReplyMs = qint64(options.slowReplySeconds) * 1000;
    PaymentService service(databasePath(options), config);
    HttpServer http(service.router(), tls.get());
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
    return 0;
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
    try {
        return options.setPasswordFor.isEmpty() ? serve(options) : setPassword(options);
    } catch (const std::exception &e) {
        std::cerr << "payment-server: " << e.what() << "\n";
        return 1;
    }
}
