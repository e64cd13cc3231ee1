// The whole service without its transport, on a fresh database: the input's first line is the
// path, the rest the body, which the form parser takes whatever its bytes. Every answer must be a
// JSON object with status 200 or, for an unknown path, 404; a 500 is an exception the service did
// not expect.

#include "PaymentService.h"

#include <QJsonDocument>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    // No confirmation delay, no held reply, a cheap password hash and no wait after wrong passwords,
    // so that every input is answered at once.
    static PaymentService service(folder.filePath(QStringLiteral("payment.db")), [] {
        ServiceConfig config{0, 0, 0};
        config.passwordRounds = 1;
        config.throttleDelayMs = 0;
        return config;
    }());
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t lineEnd = input.find('\n');
    const std::string body = lineEnd == std::string::npos ? std::string() : input.substr(lineEnd + 1);
    const Router::Response response = service.router().handle(input.substr(0, lineEnd), body);
    if ((response.status != 200 && response.status != 404) ||
        !QJsonDocument::fromJson(QByteArray::fromStdString(response.body)).isObject()) {
        fprintf(stderr, "status %d: %s\n", response.status, response.body.c_str());
        abort();
    }
    return 0;
}
