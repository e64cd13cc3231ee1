// Passes the instance guard with the keys given on the command line, says whether it passed,
// and then holds the guard until its standard input closes.
#include "shell/instanceguard.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    InstanceGuard guard(args.at(1), args.at(2));
    const bool passed = guard.acquire();
    std::printf("%s\n", passed ? "passed" : "refused");
    std::fflush(stdout);
    if (passed) {
        char line[16];
        while (std::fgets(line, sizeof line, stdin)) {
        }
    }
    return 0;
}
