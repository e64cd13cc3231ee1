// The baseline of the start-up figures: what any program must do to be seen at a till when it
// starts into the notification area, a tray icon and its balloon, and nothing of the cashier
// client's own. It shares the start-up probe with the client, so that both are timed the same way.
//
//     kesto-minimal TITLE MESSAGE

#include "shell/startupprobe.h"

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QSystemTrayIcon tray(QIcon(QStringLiteral(":/Icon/Resources/kvt.ico")));
    tray.setVisible(true);
    tray.showMessage(args.value(1), args.value(2), QSystemTrayIcon::Information, 5000);
    armStartupProbe();
    return app.exec();
}
