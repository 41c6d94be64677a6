#pragma once

#include <cstdint>

namespace sondump {

// One sounding in the 27 columns of the dump, in column order. Values that
// the log does not carry stay 0 with their flag false.
struct DumpRow
{
    float upperLimit = 0;
    float lowerLimit = 0;
    bool depthValid = false;
    float depth = 0;
    bool waterTempValid = false;
    float waterTemp = 0;
    bool temp2Valid = false;
    float temp2 = 0;
    bool temp3Valid = false;
    float temp3 = 0;
    bool waterSpeedValid = false;
    float waterSpeed = 0;
    bool positionValid = false;
    int32_t positionX = 0;
    int32_t positionY = 0;
    float surfaceDepth = 0;
    bool surfaceValid = false;
    float topOfBottomDepth = 0;
    bool topOfBottomValid = false;
    bool columnIs50kHz = false;
    bool timeValid = false;
    int64_t timeOffset = 0;
    bool speedTrackValid = false;
    float speed = 0;
    float track = 0;
    bool altitudeValid = false;
    float altitude = 0;
};

} // namespace sondump
