#include "sl2decoder.h"

#include "exitstatus.h"
#include "littleendian.h"

using namespace LittleEndian;

namespace sondump {

namespace {

enum FrameOffset : unsigned {
    FrameSize = 28,
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
    uint64_t index = 0;
    for (std::size_t offset = kFileHeaderSize; size - offset >= kFrameHeaderSize; ++index) {
        const unsigned char *frame = data + offset;
        const unsigned frameSize = getU16(frame + FrameSize);
        const unsigned echoBytes = getU16(frame + EchoByteCount);
        const std::string where = "frame " + std::to_string(index) + " at offset " + std::to_string(offset) + ": ";
        if (frameSize < kFrameHeaderSize) {
            message = where + "size " + std::to_string(frameSize) + " is smaller than a frame header";
            return Undecodable;
        }
        if (echoBytes != frameSize - kFrameHeaderSize) {
            message = where + "echo byte count " + std::to_string(echoBytes) + " does not fit frame size "
                + std::to_string(frameSize);
            return Undecodable;
        }
        if (size - offset < frameSize)
            break; // a frame never finished
        out.write(rowFromFrameHeader(frame));
        offset += frameSize;
    }
    return Success;
}

} // namespace sondump
