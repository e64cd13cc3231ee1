// The whole service without its transport, on a fresh database: the input's first line is the
// path, the rest the body. Every answer must be a JSON object with status 200 or, for an unknown
// path, 404; a 500 is an exception the service did not expect.

#include "PaymentService.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {
QTemporaryDir *folder = nullptr;
PaymentService *service = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    folder = new QTemporaryDir;
    ServiceConfig config;
    config.confirmDelayMs = 0;
    config.slowReplyMs = 0;
    service = new PaymentService(folder->filePath(QStringLiteral("payment.db")), config);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t lineEnd = input.find('\n');
    const std::string path = input.substr(0, lineEnd);
    const std::string body = lineEnd == std::string::npos ? std::string() : input.substr(lineEnd + 1);
    const Router::Response response = service->router().handle(path, body);
    const QJsonDocument reply = QJsonDocument::fromJson(QByteArray::fromStdString(response.body));
    if ((response.status != 200 && response.status != 404) || !reply.isObject()) {
        fprintf(stderr, "status %d: %s\n", response.status, response.body.c_str());
        abort();
    }
    return 0;
}
