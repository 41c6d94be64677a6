#pragma once

#include "dumpwriter.h"

#include <cstddef>
#include <string>

namespace sondump {

// Lowrance .sl2 logs (format word 2): an 8-byte header, then frames of
// varying size, each with a 144-byte frame header at fixed offsets. Every
// frame (of any channel) is one sounding of the dump.
//
// Columns: upper and lower limit, depth, water temperature, water speed,
// position, speed, track, altitude and time come from the frame header; the
// frame header always holds them, so their flags are T, except DepthValid
// (T only for a depth above 0) and PositionValid (F for the 0,0 that means
// no fix). The keel depth goes into SurfaceDepth, a distance below the
// surface like it. SL2 has no Temp2, Temp3 or top-of-bottom value;
// ColumnIs50kHz is T for the 50 kHz frequency code. The SL2 flag word is
// not used: readers disagree on its meaning.
class Sl2Decoder
{
public:
    static constexpr unsigned kFileHeaderSize = 8;
    static constexpr unsigned kFrameHeaderSize = 144;

    // Decodes a whole log held in memory and writes one row per whole
    // frame. A frame whose size fields disagree is skipped and the frames
    // after it are found again (walkRecords); a frame cut short by the end
    // of the data is ignored.
    static int decode(const unsigned char *data, std::size_t size, DumpWriter &out, std::string &message);

    // The row of one 144-byte frame header.
    static DumpRow rowFromFrameHeader(const unsigned char *frame);
};

} // namespace sondump
