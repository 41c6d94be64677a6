#pragma once

#include "dumpwriter.h"

#include <cstddef>
#include <string>

struct TrackPoint;

namespace sondump {

// Tracks made by Sondrak: a .stk file, or the zip archive that holds one.
// Each point becomes a row with its depth (back in feet), position and time;
// the columns a .stk file does not keep stay 0 with flags F.
class StkDecoder
{
public:
    // data is a zip archive; its first entry named *.stk is dumped.
    static int decodeArchive(const unsigned char *data, std::size_t size, DumpWriter &out, std::string &message);
    // data is a bare .stk file.
    static int decodeTrack(const unsigned char *data, std::size_t size, DumpWriter &out, std::string &message);

    static DumpRow rowFromPoint(const TrackPoint &point);
};

} // namespace sondump
