#include "stkformat.h"
#include "littleendian.h"

using namespace LittleEndian;

namespace StkFormat {

void encodePoint(const TrackPoint &point, uint32_t depthUnit, unsigned char *out)
{
    uint8_t flags = 0;
    if (point.PositionValid)
        flags |= PositionValidFlag;
    if (point.DepthValid)
        flags |= DepthValidFlag;
    if (point.TimeValid)
        flags |= TimeValidFlag;
    const float depth = depthUnit == kDepthUnchanged
        ? point.Depth
        : static_cast<float>(static_cast<double>(point.Depth) * kMetresPerFoot);

    putU8(out, flags);
    out[1] = out[2] = out[3] = 0;
    putI32(out + 4, point.PositionX);
    putI32(out + 8, point.PositionY);
    putF32(out + 12, depth);
    putI32(out + 16, point.TimeOffset);
}

void decodePoint(const unsigned char *in, uint32_t depthUnit, TrackPoint &point)
{
    point = TrackPoint();
    const uint8_t flags = in[0];
    point.PositionValid = (flags & PositionValidFlag) != 0;
    point.DepthValid = (flags & DepthValidFlag) != 0;
    point.TimeValid = (flags & TimeValidFlag) != 0;
    point.PositionX = getI32(in + 4);
    point.PositionY = getI32(in + 8);
    const float stored = getF32(in + 12);
    point.Depth = depthUnit == kDepthUnchanged
        ? stored
        : static_cast<float>(static_cast<double>(stored) / kMetresPerFoot);
    point.TimeOffset = getI32(in + 16);
}

} // namespace StkFormat
