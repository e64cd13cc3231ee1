#include "mainwindow/kesto.h"
#include "platform/platformintegration.h"
#include "shell/instancecall.h"
#include "shell/instanceguard.h"
#include "shell/lookandfeel.h"
#include "shell/startupprobe.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    enableDisplayScaling();
    QApplication app(argc, argv);
    QApplication::addLibraryPath(QApplication::applicationDirPath());
    initResources();

    const PlatformIntegration &platform = PlatformIntegration::instance();
    InstanceGuard guard(platform.instanceName(QStringLiteral("ZIRKey")),
                        platform.instanceName(QStringLiteral("SystemObject")));
    InstanceCall call(platform.instanceName(QStringLiteral("KestoInstance")));
    if (!guard.acquire()) {
        // The cashier started the program again, most likely not seeing it: show the running one.
        call.callRunning();
        return 0;
    }

    QTranslator translator;
    applyLookAndFeel(app, translator);

    // Hidden unless its start-up decision shows it: without a notification area the records view
    // is the only window.
    Kesto window;
    polishHiddenWindowsOnShow(app);
    call.listen();
    QObject::connect(&call, &InstanceCall::called, &window, &Kesto::comeForward);
    armStartupProbe();
    return app.exec();
}
