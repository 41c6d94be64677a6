#pragma once

#include <cstdint>

// The 360-byte header after the preamble: what the source log was.
// Times are FILETIMEs of local time.
struct StkHeader
{
    static constexpr uint32_t kSize = 360;
    static constexpr uint32_t kPathSize = 300;
    static constexpr uint32_t kTimeTextSize = 24;

    // Always zero-terminated, even when read from a file that is not.
    char mOriginalFullPath[kPathSize + 1] = {};
    uint32_t mOriginalFileSize = 0;
    uint64_t mOriginalCreationLocalTime = 0;
    uint64_t mOriginalLastWriteLocalTime = 0;
    int32_t mNofPoints = 0;
    uint32_t mPointSize = 0;
    uint32_t mDepthUnit = 0;
    char mOriginalLastWriteLocalTimeStr[kTimeTextSize + 1] = {};

    void encode(unsigned char *out) const;
    static StkHeader decode(const unsigned char *in);
};
