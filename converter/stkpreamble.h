#pragma once

#include <cstdint>

// The 12 bytes at the start of every .stk file.
struct StkPreamble
{
    static constexpr uint32_t kMagic = 0x2E73746B; // "kts." on disk
    static constexpr uint32_t kSize = 12;

    uint32_t magic = 0;
    uint32_t headerLength = 0;
    uint8_t versionMajor = 0;
    uint8_t versionMinor = 0;
    uint8_t versionPatch = 0;
    uint8_t reserved = 0;

    // The preamble this converter writes: version 1.1.0, 360-byte header.
    static StkPreamble current();

    void encode(unsigned char *out) const;
    static StkPreamble decode(const unsigned char *in);

    // Readers accept every version except 1.0.0, whose layout differs.
    bool isReadable() const;
};
