#include "sl2decoder.h"

#include "exitstatus.h"
#include "littleendian.h"

#include <vector>

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

int Sl2Decoder::decode(FILE *in, DumpWriter &out, std::string &message)
{
    unsigned char header[kFileHeaderSize];
    if (std::fread(header, 1, sizeof header, in) != sizeof header) {
        message = std::ferror(in) ? "cannot read the file" : "the file ends inside its 8-byte header";
        return std::ferror(in) ? FileError : Undecodable;
    }

    out.writeHeader();
    unsigned char frame[kFrameHeaderSize];
    std::vector<unsigned char> echo(65536);
    uint64_t offset = kFileHeaderSize;
    for (uint64_t index = 0;; ++index) {
        const std::size_t got = std::fread(frame, 1, sizeof frame, in);
        if (got < sizeof frame) {
            if (std::ferror(in)) {
                message = "cannot read frame " + std::to_string(index);
                return FileError;
            }
            return Success; // the end, possibly inside a frame never finished
        }
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
        const std::size_t rest = frameSize - kFrameHeaderSize;
        if (std::fread(echo.data(), 1, rest, in) != rest) {
            if (std::ferror(in)) {
                message = "cannot read frame " + std::to_string(index);
                return FileError;
            }
            return Success;
        }
        out.write(rowFromFrameHeader(frame));
        offset += frameSize;
    }
}

} // namespace sondump
