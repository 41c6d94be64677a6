#include "stkheader.h"
#include "littleendian.h"

#include <cstring>

using namespace LittleEndian;

void StkHeader::encode(unsigned char *out) const
{
    std::memset(out, 0, kSize);
    std::memcpy(out, mOriginalFullPath, kPathSize);
    putU32(out + 300, mOriginalFileSize);
    putU64(out + 304, mOriginalCreationLocalTime);
    putU64(out + 312, mOriginalLastWriteLocalTime);
    putI32(out + 320, mNofPoints);
    putU32(out + 324, mPointSize);
    putU32(out + 328, mDepthUnit);
    std::memcpy(out + 332, mOriginalLastWriteLocalTimeStr, kTimeTextSize);
}

StkHeader StkHeader::decode(const unsigned char *in)
{
    StkHeader header;
    std::memcpy(header.mOriginalFullPath, in, kPathSize);
    header.mOriginalFileSize = getU32(in + 300);
    header.mOriginalCreationLocalTime = getU64(in + 304);
    header.mOriginalLastWriteLocalTime = getU64(in + 312);
    header.mNofPoints = getI32(in + 320);
    header.mPointSize = getU32(in + 324);
    header.mDepthUnit = getU32(in + 328);
    std::memcpy(header.mOriginalLastWriteLocalTimeStr, in + 332, kTimeTextSize);
    return header;
}
