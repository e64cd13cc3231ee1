#pragma once

#include <QJsonObject>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

class QObject;

// What the fuzz targets of the client's reply handling share.
namespace FuzzClient {

// Once, from LLVMFuzzerInitialize: an offscreen QApplication; a fresh settings file beside the
// program with the demo account, no printer and a service address that no request leaves the
// process for; and every modal box closed as soon as it opens, since the windows wait in
// QMessageBox::exec.
void start();

// The bytes as the service's reply: a JSON object, or nothing.
std::optional<QJsonObject> reply(const uint8_t *data, size_t size);

// Runs an action and returns the id of the one request it sent, or 0 when it sent none.
quint64 requestOf(const std::function<void()> &action);

// Calls a window's handler slot, "name(quint64,QJsonObject)" or "name(QJsonObject)" (id 0).
void deliver(QObject *window, const char *slot, quint64 id, const QJsonObject &reply);
void deliver(QObject *window, const char *slot, const QJsonObject &reply);
void invoke(QObject *window, const char *slot);

// Ends the run with a message: the harness no longer drives the window as it should.
[[noreturn]] void fail(const char *what);

// Lets the requests sent so far fail and deleted objects go, as the event loop would.
void settle();

} // namespace FuzzClient
