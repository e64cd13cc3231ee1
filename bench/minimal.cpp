// The baseline of the start-up figures: the least a Qt Widgets program does to show one window.
// It shares the start-up probe with the cashier client, so that both are timed the same way.

#include "shell/startupprobe.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Kesto"));
    window.show();
    armStartupProbe();
    return app.exec();
}
