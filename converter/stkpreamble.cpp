#include "stkpreamble.h"
#include "littleendian.h"
#include "stkheader.h"

using namespace LittleEndian;

StkPreamble StkPreamble::current()
{
    StkPreamble preamble;
    preamble.magic = kMagic;
    preamble.headerLength = StkHeader::kSize;
    preamble.versionMajor = 1;
    preamble.versionMinor = 1;
    preamble.versionPatch = 0;
    return preamble;
}

void StkPreamble::encode(unsigned char *out) const
{
    putU32(out, magic);
    putU32(out + 4, headerLength);
    putU8(out + 8, versionMajor);
    putU8(out + 9, versionMinor);
    putU8(out + 10, versionPatch);
    putU8(out + 11, reserved);
}

StkPreamble StkPreamble::decode(const unsigned char *in)
{
    StkPreamble preamble;
    preamble.magic = getU32(in);
    preamble.headerLength = getU32(in + 4);
    preamble.versionMajor = in[8];
    preamble.versionMinor = in[9];
    preamble.versionPatch = in[10];
    preamble.reserved = in[11];
    return preamble;
}

bool StkPreamble::isReadable() const
{
    const bool version100 = versionMajor == 1 && versionMinor == 0 && versionPatch == 0;
    return magic == kMagic && !version100;
}
