// The version service's answer, cut up by text search.
#include "updatechecker.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    UpdateChecker::parseVersionDocument(body);
    return 0;
}
