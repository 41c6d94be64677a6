#pragma once

#include "trackpoint.h"

#include <cstdint>

// Layout of the .stk track file: preamble, header, then fixed-size point
// records, all little-endian.
namespace StkFormat {

constexpr uint32_t kHeaderOffset = 12;
constexpr uint32_t kPointsOffset = 372;
constexpr uint32_t kPointSize = 20;
constexpr double kMetresPerFoot = 0.3048;

// Depth units of the header's mDepthUnit.
constexpr uint32_t kDepthInMetres = 0;
constexpr uint32_t kDepthUnchanged = 1;

enum PointFlag : uint8_t {
    PositionValidFlag = 0x01,
    DepthValidFlag = 0x02,
    TimeValidFlag = 0x04,
};

// File size that a header promising pointCount records requires.
inline uint64_t expectedFileSize(int32_t pointCount)
{
    return kPointsOffset + static_cast<uint64_t>(kPointSize) * static_cast<uint64_t>(static_cast<uint32_t>(pointCount));
}

// The record of one point; depth is converted from feet unless depthUnit
// says the stored value is unchanged.
void encodePoint(const TrackPoint &point, uint32_t depthUnit, unsigned char *out);
// Fills every field of point from a record.
void decodePoint(const unsigned char *in, uint32_t depthUnit, TrackPoint &point);

} // namespace StkFormat
