// The service's form parser: any bytes as a request body.

#include "FormBody.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FormBody form = FormBody::decode(std::string(reinterpret_cast<const char *>(data), size));
    form.value(QStringLiteral("username"));
    return 0;
}
