// The track-upload service's answer, judged for every status the reply may
// carry; the service lies outside the system.
#include "quietqt.h"
#include "serverresponse.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

static QuietQtMessages quiet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    readUploadAnswer(200, body);
    readUploadAnswer(500, body);
    return 0;
}
