#include "slgdecoder.h"

#include "exitstatus.h"
#include "littleendian.h"

#include <cstdio>
#include <vector>

using namespace LittleEndian;

namespace sondump {

namespace {

std::string hex16(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFF);
    return text;
}

// Walks the packed fields of a record, refusing to step into the sample
// count at the end of the block.
class FieldCursor
{
public:
    FieldCursor(const unsigned char *record, unsigned limit)
        : mRecord(record)
        , mLimit(limit)
    {
    }

    bool take(unsigned size, const unsigned char *&field)
    {
        if (mOffset + size > mLimit) {
            mOverrun = true;
            return false;
        }
        field = mRecord + mOffset;
        mOffset += size;
        return true;
    }

    float real()
    {
        const unsigned char *field = nullptr;
        return take(4, field) ? getF32(field) : 0.0f;
    }

    int32_t integer()
    {
        const unsigned char *field = nullptr;
        return take(4, field) ? getI32(field) : 0;
    }

    uint32_t unsignedInteger()
    {
        const unsigned char *field = nullptr;
        return take(4, field) ? getU32(field) : 0;
    }

    void skip(unsigned size)
    {
        const unsigned char *field = nullptr;
        take(size, field);
    }

    unsigned offset() const { return mOffset; }
    bool overrun() const { return mOverrun; }

private:
    const unsigned char *mRecord;
    unsigned mLimit;
    unsigned mOffset = 0;
    bool mOverrun = false;
};

} // namespace

bool SlgDecoder::decodeRecord(const unsigned char *record, unsigned blockSize, DumpRow &row, std::string &reason)
{
    row = DumpRow();
    if (blockSize < kSmallestRecord) {
        reason = "the block is smaller than the smallest record";
        return false;
    }
    const uint16_t flags = getU16(record);
    // Everything up to the 2-byte sample count at the end of the fields.
    FieldCursor cursor(record, blockSize - 2);
    cursor.skip(2);

    row.lowerLimit = cursor.real();
    row.depth = cursor.real();
    row.depthValid = (flags & DepthNotValid) == 0;
    if (flags & UpperLimitPresent)
        row.upperLimit = cursor.real();
    row.waterTempValid = (flags & WaterTempValid) != 0;
    if (row.waterTempValid)
        row.waterTemp = cursor.real();
    row.waterSpeedValid = (flags & WaterSpeedValid) != 0;
    if (row.waterSpeedValid)
        row.waterSpeed = cursor.real();
    row.positionValid = (flags & PositionValid) != 0;
    if (row.positionValid) {
        // Northing first, easting second (the opposite of SL2).
        row.positionY = cursor.integer();
        row.positionX = cursor.integer();
    }
    row.surfaceValid = (flags & SurfaceValid) != 0;
    if (row.surfaceValid)
        row.surfaceDepth = cursor.real();
    row.topOfBottomValid = (flags & TopOfBottomValid) != 0;
    if (row.topOfBottomValid)
        row.topOfBottomDepth = cursor.real();
    row.temp2Valid = (flags & Temp2Valid) != 0;
    if (row.temp2Valid)
        row.temp2 = cursor.real();
    row.temp3Valid = (flags & Temp3Valid) != 0;
    if (row.temp3Valid)
        row.temp3 = cursor.real();
    if (flags & UnknownA)
        cursor.skip(4);
    if (flags & UnknownB)
        cursor.skip(8);
    row.timeValid = (flags & TimeValid) != 0;
    if (row.timeValid)
        row.timeOffset = cursor.unsignedInteger();
    row.speedTrackValid = (flags & SpeedTrackValid) != 0;
    if (row.speedTrackValid) {
        row.speed = cursor.real();
        row.track = cursor.real();
    }
    row.altitudeValid = (flags & AltitudeValid) != 0;
    if (row.altitudeValid)
        row.altitude = cursor.real();
    row.columnIs50kHz = (flags & Column50kHz) != 0;

    if (cursor.overrun()) {
        reason = "the fields of flag word " + hex16(flags) + " do not fit a block of " + std::to_string(blockSize)
            + " bytes";
        return false;
    }
    const unsigned countOffset = cursor.offset();
    const unsigned sampleCount = getU16(record + countOffset);
    const unsigned expected = blockSize - (countOffset + 2);
    if (sampleCount != expected) {
        reason = "sample count " + std::to_string(sampleCount) + " where the block leaves " + std::to_string(expected)
            + " (flag word " + hex16(flags) + " not understood)";
        return false;
    }
    return true;
}

int SlgDecoder::decode(FILE *in, DumpWriter &out, std::string &message)
{
    unsigned char header[kFileHeaderSize];
    if (std::fread(header, 1, sizeof header, in) != sizeof header) {
        message = std::ferror(in) ? "cannot read the file" : "the file ends inside its 10-byte header";
        return std::ferror(in) ? FileError : Undecodable;
    }
    const unsigned blockSize = getU16(header + 4);
    if (blockSize < kSmallestRecord) {
        message = "block size " + std::to_string(blockSize) + " is smaller than the smallest record ("
            + std::to_string(kSmallestRecord) + " bytes)";
        return Undecodable;
    }

    out.writeHeader();
    std::vector<unsigned char> block(blockSize);
    DumpRow row;
    for (uint64_t index = 0;; ++index) {
        const std::size_t got = std::fread(block.data(), 1, blockSize, in);
        if (got < blockSize) {
            if (std::ferror(in)) {
                message = "cannot read record " + std::to_string(index);
                return FileError;
            }
            // The end of the file; a record cut short there was never finished.
            return Success;
        }
        std::string reason;
        if (!decodeRecord(block.data(), blockSize, row, reason)) {
            message = "record " + std::to_string(index) + " at offset "
                + std::to_string(kFileHeaderSize + index * blockSize) + ": " + reason;
            return Undecodable;
        }
        out.write(row);
    }
}

} // namespace sondump
