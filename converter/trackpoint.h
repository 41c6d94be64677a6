#pragma once

#include <cstdint>

// One sounding of a converted track. Depth is in feet as the dump gives it;
// positions are the dump's integer Mercator coordinates, unchanged.
struct TrackPoint
{
    bool DepthValid = false;
    float Depth = 0.0f;
    bool PositionValid = false;
    int32_t PositionX = 0;
    int32_t PositionY = 0;
    bool TimeValid = false;
    int32_t TimeOffset = 0;
};
