#include "slgdecoder.h"

#include "exitstatus.h"
#include "littleendian.h"
#include "recordwalk.h"

#include <cstdio>

using namespace LittleEndian;

namespace sondump {

namespace {

std::string hex16(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFF);
    return text;
}

// Why a record does not fill its block.
std::string misfit(const unsigned char *record, unsigned blockSize)
{
    if (blockSize < SlgDecoder::kSmallestRecord)
        return "the block is smaller than the smallest record";
    const uint16_t flags = getU16(record);
    const unsigned countOffset = SlgDecoder::fieldsLength(flags);
    if (countOffset + 2 > blockSize)
        return "the fields of flag word " + hex16(flags) + " do not fit a block of " + std::to_string(blockSize)
            + " bytes";
    return "sample count " + std::to_string(getU16(record + countOffset)) + " where the block leaves "
        + std::to_string(blockSize - (countOffset + 2)) + " (flag word " + hex16(flags) + " not understood)";
}

// Reads the packed fields of a record one after the other; the caller has
// checked that they fit.
class FieldCursor
{
public:
    explicit FieldCursor(const unsigned char *field)
        : mField(field)
    {
    }

    float real() { return getF32(take(4)); }
    int32_t integer() { return getI32(take(4)); }
    uint32_t unsignedInteger() { return getU32(take(4)); }
    void skip(unsigned size) { take(size); }

private:
    const unsigned char *take(unsigned size)
    {
        const unsigned char *field = mField;
        mField += size;
        return field;
    }

    const unsigned char *mField;
};

// The records of a log in memory, for walkRecords. A record that decodes
// where the fixed block size expects one is taken at once; anywhere else
// (after bytes were lost or added) the record after it must decode too.
class SlgLayout : public RecordLayout
{
public:
    SlgLayout(const unsigned char *data, std::size_t size, unsigned blockSize)
        : mData(data)
        , mSize(size)
        , mBlockSize(blockSize)
    {
    }

    const char *recordName() const override { return "record"; }

    Outcome decodeAt(std::size_t offset, DumpRow &row, std::size_t &length, std::string &reason) override
    {
        if (!wholeRecordAt(offset))
            return Outcome::End;
        if (!SlgDecoder::decodeRecord(mData + offset, mBlockSize, row, reason))
            return Outcome::Damaged;
        length = mBlockSize;
        return Outcome::Decoded;
    }

    bool plausibleAt(std::size_t offset) const override
    {
        // A record without echo samples is real only in theory, while a
        // count of 0 is what zeroed bytes and empty fields show.
        if (!fitsAt(offset) || sampleCountAt(offset) == 0)
            return false;
        const bool onBlockBoundary = (offset - SlgDecoder::kFileHeaderSize) % mBlockSize == 0;
        return onBlockBoundary || fitsAt(offset + mBlockSize);
    }

    uint64_t recordsBetween(std::size_t from, std::size_t to) const override
    {
        return recordsInBytes(to - from, mBlockSize, to == mSize);
    }

    std::size_t largestRecord() const override { return mBlockSize; }

private:
    unsigned sampleCountAt(std::size_t offset) const
    {
        return getU16(mData + offset + SlgDecoder::fieldsLength(getU16(mData + offset)));
    }

    bool wholeRecordAt(std::size_t offset) const { return offset <= mSize && mSize - offset >= mBlockSize; }

    bool fitsAt(std::size_t offset) const
    {
        return wholeRecordAt(offset) && SlgDecoder::recordFits(mData + offset, mBlockSize);
    }

    const unsigned char *mData;
    std::size_t mSize;
    unsigned mBlockSize;
};

} // namespace

unsigned SlgDecoder::fieldsLength(uint16_t flags)
{
    // The optional fields in file order, after the flag word, lower limit
    // and depth.
    static const struct {
        uint16_t flag;
        unsigned size;
    } optional[] = {
        { UpperLimitPresent, 4 }, { WaterTempValid, 4 }, { WaterSpeedValid, 4 }, { PositionValid, 8 },
        { SurfaceValid, 4 },      { TopOfBottomValid, 4 }, { Temp2Valid, 4 },    { Temp3Valid, 4 },
        { UnknownA, 4 },          { UnknownB, 8 },       { TimeValid, 4 },       { SpeedTrackValid, 8 },
        { AltitudeValid, 4 },
    };
    unsigned length = 2 + 4 + 4;
    for (const auto &field : optional) {
        if (flags & field.flag)
            length += field.size;
    }
    return length;
}

bool SlgDecoder::recordFits(const unsigned char *record, unsigned blockSize)
{
    if (blockSize < kSmallestRecord)
        return false;
    const unsigned countOffset = fieldsLength(getU16(record));
    return countOffset + 2 <= blockSize && getU16(record + countOffset) == blockSize - (countOffset + 2);
}

bool SlgDecoder::decodeRecord(const unsigned char *record, unsigned blockSize, DumpRow &row, std::string &reason)
{
    row = DumpRow();
    if (!recordFits(record, blockSize)) {
        reason = misfit(record, blockSize);
        return false;
    }
    const uint16_t flags = getU16(record);

    FieldCursor cursor(record + 2);
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
    return true;
}

int SlgDecoder::decode(const unsigned char *data, std::size_t size, DumpWriter &out, std::string &message)
{
    if (size < kFileHeaderSize) {
        message = "the file ends inside its 10-byte header";
        return Undecodable;
    }
    const unsigned blockSize = getU16(data + 4);
    if (blockSize < kSmallestRecord) {
        message = "block size " + std::to_string(blockSize) + " is smaller than the smallest record ("
            + std::to_string(kSmallestRecord) + " bytes)";
        return Undecodable;
    }
    out.writeHeader();
    SlgLayout layout(data, size, blockSize);
    return walkRecords(data, size, kFileHeaderSize, layout, out, message);
}

} // namespace sondump
