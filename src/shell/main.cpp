#include "mainwindow/kesto.h"
#include "shell/instanceguard.h"
#include "shell/lookandfeel.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::addLibraryPath(QApplication::applicationDirPath());
    initResources();

    InstanceGuard guard;
    if (!guard.acquire())
        return 0;

    QTranslator translator;
    applyLookAndFeel(app, translator);

    Kesto window;
    window.hide();
    return app.exec();
}
