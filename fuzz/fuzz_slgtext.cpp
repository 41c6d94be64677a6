// The text dump of a sonar log that Sondrak reads from the dump tool.
#include "slgtextreader.h"
#include "trackpoint.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CSlgTextReader reader(reinterpret_cast<const char *>(data), size);
    TrackPoint point {};
    while (reader.ReadPoint(point) == 0) {
    }
    return 0;
}
