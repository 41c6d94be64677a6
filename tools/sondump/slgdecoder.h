#pragma once

#include "dumpwriter.h"

#include <cstddef>
#include <string>

namespace sondump {

// Lowrance .slg logs (format word 1): a 10-byte header, then records of the
// header's block size. Each record holds a flag word, the fields the flags
// announce, a sample count and the echo samples; the sample count must fill
// the block exactly, which tells whether the flag word was understood.
class SlgDecoder
{
public:
    enum Flag : uint16_t {
        UnknownA = 0x0001,
        UnknownB = 0x0002,
        AltitudeValid = 0x0004,
        UpperLimitPresent = 0x0008,
        WaterTempValid = 0x0010,
        Temp2Valid = 0x0020,
        Temp3Valid = 0x0040,
        WaterSpeedValid = 0x0080,
        PositionValid = 0x0100,
        DepthNotValid = 0x0200,
        SurfaceValid = 0x0400,
        TopOfBottomValid = 0x0800,
        Column50kHz = 0x1000,
        TimeValid = 0x2000,
        SpeedTrackValid = 0x4000,
    };
    static constexpr unsigned kFileHeaderSize = 10;
    // Flag word, lower limit, depth and sample count.
    static constexpr unsigned kSmallestRecord = 12;

    // Decodes a whole log held in memory and writes one row per record. A
    // record that does not decode is skipped and the records after it are
    // found again (walkRecords); a record cut short by the end of the data
    // is ignored. Returns an ExitStatus; message says what could not be
    // decoded.
    static int decode(const unsigned char *data, std::size_t size, DumpWriter &out, std::string &message);

    // Bytes from the flag word up to the sample count for these flags.
    static unsigned fieldsLength(uint16_t flags);
    // Whether the fields and sample count of the record fill the block.
    static bool recordFits(const unsigned char *record, unsigned blockSize);
    // Decodes one record of blockSize bytes; false with a reason when its
    // fields and sample count do not fill the block.
    static bool decodeRecord(const unsigned char *record, unsigned blockSize, DumpRow &row, std::string &reason);
};

} // namespace sondump
