#include "fuzzclient.h"

#include "service/wxnetwork.h"
#include "shell/apppaths.h"
#include "shell/settingsstore.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <sanitizer/lsan_interface.h>

namespace FuzzClient {

namespace {

// A scheme nothing handles: every request fails at once, inside the process.
const QString NoService = QStringLiteral("kesto-fuzz://no-service");

int argumentCount = 1;
char programName[] = "kesto-fuzz";
char *arguments[] = {programName, nullptr};

WxNetwork *probe = nullptr;

void quiet(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg)
        abort();
}

} // namespace

void fail(const char *what)
{
    fprintf(stderr, "fuzz harness: %s\n", what);
    abort();
}

void start()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Warnings about odd replies would fill the log at thousands of runs a second.
    qInstallMessageHandler(quiet);
    new QApplication(argumentCount, arguments);

    QFile::remove(AppPaths::configFile());
    const SettingsStore config;
    const QList<QPair<QString, QString>> entries{{QStringLiteral("server"), NoService},
                                                 {QStringLiteral("username"), QStringLiteral("demo")},
                                                 {QStringLiteral("password"), QStringLiteral("demo123")},
                                                 {QStringLiteral("remeber"), QStringLiteral("1")},
                                                 {QStringLiteral("device"), QStringLiteral("1_前台")},
                                                 {QStringLiteral("jm_userid"), QStringLiteral("10001")},
                                                 {QStringLiteral("jm_title"), QStringLiteral("演示商户")}};
    for (const auto &entry : entries)
        config.write(entry.first, entry.second);
    if (!config.read(QStringLiteral("printname")).isEmpty() ||
        config.read(QStringLiteral("server")) != NoService)
        fail("the settings file is not the one written");

    // Fires only while an event loop runs, which outside settle() means a modal box is open.
    auto *closer = new QTimer(qApp);
    closer->setInterval(0);
    QObject::connect(closer, &QTimer::timeout, [] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialog->done(QDialog::Rejected);
    });
    closer->start();

    probe = new WxNetwork;
}

std::optional<QJsonObject> reply(const uint8_t *data, size_t size)
{
    // Qt 5.15's parser loses the earlier value of a repeated key when that value is an object or
    // an array; what it allocates is not the client's to report.
    __lsan_disable();
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    __lsan_enable();
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

// Request ids count up across the whole program, so a request of the probe before and after the
// action tells how many the action sent.
quint64 requestOf(const std::function<void()> &action)
{
    const quint64 before = probe->sendTo(NoService, QString());
    action();
    const quint64 after = probe->sendTo(NoService, QString());
    if (after == before + 1)
        return 0;
    if (after != before + 2)
        fail("the action sent more than one request");
    return before + 1;
}

void deliver(QObject *window, const char *slot, quint64 id, const QJsonObject &reply)
{
    if (!QMetaObject::invokeMethod(window, slot, Qt::DirectConnection, Q_ARG(quint64, id),
                                   Q_ARG(QJsonObject, reply)))
        fail(slot);
}

void deliver(QObject *window, const char *slot, const QJsonObject &reply)
{
    if (!QMetaObject::invokeMethod(window, slot, Qt::DirectConnection, Q_ARG(QJsonObject, reply)))
        fail(slot);
}

void invoke(QObject *window, const char *slot)
{
    if (!QMetaObject::invokeMethod(window, slot, Qt::DirectConnection))
        fail(slot);
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace FuzzClient
