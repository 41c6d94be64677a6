#pragma once

#include <cstdint>
#include <cstring>

// Reading and writing little-endian values in byte images, whatever the
// byte order of the machine. The .stk format and the Lowrance logs are both
// little-endian.
namespace LittleEndian {

inline void putU8(unsigned char *at, uint8_t value) { at[0] = value; }

inline void putU16(unsigned char *at, uint16_t value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

inline void putU32(unsigned char *at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline void putU64(unsigned char *at, uint64_t value)
{
    putU32(at, static_cast<uint32_t>(value));
    putU32(at + 4, static_cast<uint32_t>(value >> 32));
}

inline void putI32(unsigned char *at, int32_t value) { putU32(at, static_cast<uint32_t>(value)); }

inline void putF32(unsigned char *at, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU32(at, bits);
}

inline uint16_t getU16(const unsigned char *at)
{
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

inline uint32_t getU32(const unsigned char *at)
{
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8)
        | (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

inline uint64_t getU64(const unsigned char *at)
{
    return static_cast<uint64_t>(getU32(at)) | (static_cast<uint64_t>(getU32(at + 4)) << 32);
}

inline int32_t getI32(const unsigned char *at) { return static_cast<int32_t>(getU32(at)); }

inline float getF32(const unsigned char *at)
{
    const uint32_t bits = getU32(at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace LittleEndian
