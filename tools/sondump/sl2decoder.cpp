#include "sl2decoder.h"

#include "exitstatus.h"
#include "littleendian.h"
#include "recordwalk.h"

#include <algorithm>

using namespace LittleEndian;

namespace sondump {

namespace {

enum FrameOffset : unsigned {
    OffsetInFile = 0,
    FrameSize = 28,
    PreviousFrameSize = 30,
    Channel = 32,
    EchoByteCount = 34,
    UpperLimit = 40,
    LowerLimit = 44,
    FrequencyCode = 50,
    WaterDepth = 64,
    KeelDepth = 68,
    GpsSpeed = 100,
    WaterTemperature = 104,
    EastingX = 108,
    NorthingY = 112,
    WaterSpeed = 116,
    CourseOverGround = 120,
    Altitude = 124,
    TimeOffset = 140,
};

constexpr unsigned kFrequency50kHz = 1;
// SL2 knows channels 0 to 5; the margin is for devices not yet described.
constexpr unsigned kChannelLimit = 16;

bool sizesAgree(const unsigned char *frame)
{
    const unsigned frameSize = getU16(frame + FrameSize);
    return frameSize >= Sl2Decoder::kFrameHeaderSize
        && getU16(frame + EchoByteCount) == frameSize - Sl2Decoder::kFrameHeaderSize;
}

std::string sizeDisagreement(const unsigned char *frame)
{
    const unsigned frameSize = getU16(frame + FrameSize);
    if (frameSize < Sl2Decoder::kFrameHeaderSize)
        return "size " + std::to_string(frameSize) + " is smaller than a frame header";
    return "echo byte count " + std::to_string(getU16(frame + EchoByteCount)) + " does not fit frame size "
        + std::to_string(frameSize);
}

// The frames of a log in memory, for walkRecords. While the walk is in step
// a frame needs only a size that agrees with its echo byte count. A frame
// found while resynchronising must also have a known channel and either
// give its own offset in the file or be followed by a frame that names its
// size as the previous one.
class Sl2Layout : public RecordLayout
{
public:
    Sl2Layout(const unsigned char *data, std::size_t size)
        : mData(data)
        , mSize(size)
    {
    }

    const char *recordName() const override { return "frame"; }

    Outcome decodeAt(std::size_t offset, DumpRow &row, std::size_t &length, std::string &reason) override
    {
        if (!headerAt(offset))
            return Outcome::End;
        const unsigned char *frame = mData + offset;
        if (!sizesAgree(frame)) {
            reason = sizeDisagreement(frame);
            return Outcome::Damaged;
        }
        const unsigned frameSize = getU16(frame + FrameSize);
        if (mSize - offset < frameSize)
            return Outcome::End;
        row = Sl2Decoder::rowFromFrameHeader(frame);
        length = frameSize;
        mLastFrameSize = frameSize;
        mLargestFrameSize = std::max(mLargestFrameSize, frameSize);
        return Outcome::Decoded;
    }

    bool plausibleAt(std::size_t offset) const override
    {
        if (!consistentHeaderAt(offset))
            return false;
        const unsigned char *frame = mData + offset;
        if (getU32(frame + OffsetInFile) == static_cast<uint32_t>(offset))
            return true;
        const unsigned frameSize = getU16(frame + FrameSize);
        const std::size_t next = offset + frameSize;
        return consistentHeaderAt(next) && getU16(mData + next + PreviousFrameSize) == frameSize;
    }

    uint64_t recordsBetween(std::size_t from, std::size_t to) const override
    {
        // The frame found names the size of the one before it: one frame.
        if (headerAt(to) && getU16(mData + to + PreviousFrameSize) == to - from)
            return 1;
        // Otherwise frames like the last one read are assumed.
        return recordsInBytes(to - from, mLastFrameSize, to == mSize);
    }

    std::size_t largestRecord() const override { return mLargestFrameSize; }

private:
    bool headerAt(std::size_t offset) const
    {
        return offset <= mSize && mSize - offset >= Sl2Decoder::kFrameHeaderSize;
    }

    bool consistentHeaderAt(std::size_t offset) const
    {
        return headerAt(offset) && sizesAgree(mData + offset) && getU16(mData + offset + Channel) < kChannelLimit;
    }

    const unsigned char *mData;
    std::size_t mSize;
    unsigned mLastFrameSize = 0;
    unsigned mLargestFrameSize = 0;
};

} // namespace

DumpRow Sl2Decoder::rowFromFrameHeader(const unsigned char *frame)
{
    DumpRow row;
    row.upperLimit = getF32(frame + UpperLimit);
    row.lowerLimit = getF32(frame + LowerLimit);
    row.depth = getF32(frame + WaterDepth);
    row.depthValid = row.depth > 0.0f; // false for NaN as well
    row.waterTempValid = true;
    row.waterTemp = getF32(frame + WaterTemperature);
    row.waterSpeedValid = true;
    row.waterSpeed = getF32(frame + WaterSpeed);
    row.positionX = getI32(frame + EastingX);
    row.positionY = getI32(frame + NorthingY);
    row.positionValid = row.positionX != 0 || row.positionY != 0;
    row.surfaceValid = true;
    row.surfaceDepth = getF32(frame + KeelDepth);
    row.columnIs50kHz = frame[FrequencyCode] == kFrequency50kHz;
    row.timeValid = true;
    row.timeOffset = getU32(frame + TimeOffset);
    row.speedTrackValid = true;
    row.speed = getF32(frame + GpsSpeed);
    row.track = getF32(frame + CourseOverGround);
    row.altitudeValid = true;
    row.altitude = getF32(frame + Altitude);
    return row;
}

int Sl2Decoder::decode(const unsigned char *data, std::size_t size, DumpWriter &out, std::string &message)
{
    if (size < kFileHeaderSize) {
        message = "the file ends inside its 8-byte header";
        return Undecodable;
    }
    out.writeHeader();
    Sl2Layout layout(data, size);
    return walkRecords(data, size, kFileHeaderSize, layout, out, message);
}

} // namespace sondump
