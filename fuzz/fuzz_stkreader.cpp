// A .stk track, as Sondrak -csv reads it.
#include "stkreader.h"
#include "trackpoint.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CStkReader reader(data, size);
    TrackPoint point {};
    while (reader.ReadPoint(point) == 0) {
    }
    return 0;
}
