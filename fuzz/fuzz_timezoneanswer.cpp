// The public time-zone service's answer, whose offset is cached and sent on
// with every track.
#include "quietqt.h"
#include "utcoffset.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

static QuietQtMessages quiet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QString offset;
    readTimeZoneAnswer(body, offset);
    return 0;
}
