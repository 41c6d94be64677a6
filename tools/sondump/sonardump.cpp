#include "sonardump.h"

#include "dumpwriter.h"
#include "exitstatus.h"
#include "littleendian.h"
#include "platform.h"
#include "sl2decoder.h"
#include "slgdecoder.h"
#include "stkdecoder.h"

#include <cerrno>
#include <cstring>

namespace sondump {

namespace {

enum class InputKind { Slg, Sl2, Sl3, ZipArchive, StkTrack, TooShort, Unknown };

InputKind detect(const unsigned char *start, std::size_t length)
{
    if (length >= 4 && std::memcmp(start, "PK\x03\x04", 4) == 0)
        return InputKind::ZipArchive;
    if (length >= 4 && LittleEndian::getU32(start) == 0x2E73746B)
        return InputKind::StkTrack;
    if (length < 2)
        return InputKind::TooShort;
    switch (LittleEndian::getU16(start)) {
    case 1:
        return InputKind::Slg;
    case 2:
        return InputKind::Sl2;
    case 3:
        return InputKind::Sl3;
    default:
        return InputKind::Unknown;
    }
}

} // namespace

int SonarDump::dump(FILE *in, FILE *out, std::string &message)
{
    unsigned char start[4] = {};
    const std::size_t length = std::fread(start, 1, sizeof start, in);
    if (std::ferror(in)) {
        message = "cannot read the input";
        return FileError;
    }
    std::rewind(in);

    DumpWriter writer(out);
    int result = Success;
    switch (detect(start, length)) {
    case InputKind::Slg:
        result = SlgDecoder::decode(in, writer, message);
        break;
    case InputKind::Sl2:
        result = Sl2Decoder::decode(in, writer, message);
        break;
    case InputKind::ZipArchive:
        result = StkDecoder::decodeArchive(in, writer, message);
        break;
    case InputKind::StkTrack:
        result = StkDecoder::decodeTrack(in, writer, message);
        break;
    case InputKind::Sl3:
        message = "SL3 logs (format word 3) are not supported";
        return UnknownFormat;
    case InputKind::TooShort:
        message = "too short to be a sonar log or track";
        return UnknownFormat;
    case InputKind::Unknown: {
        char text[80];
        std::snprintf(text, sizeof text, "not a sonar log or track (format word 0x%04X)",
                      static_cast<unsigned>(LittleEndian::getU16(start)));
        message = text;
        return UnknownFormat;
    }
    }
    if (!writer.flush()) {
        message = "cannot write the output";
        return FileError;
    }
    return result;
}

int SonarDump::run(const std::string &inputPath, const std::string &outputPath, std::string &message)
{
    if (Platform::sameFile(inputPath, outputPath)) {
        message = "the input and the output are the same file";
        return UsageError;
    }
    FILE *out = std::fopen(outputPath.c_str(), "wb");
    if (!out) {
        message = outputPath + ": " + std::strerror(errno);
        return FileError;
    }
    FILE *in = std::fopen(inputPath.c_str(), "rb");
    if (!in) {
        message = std::strerror(errno);
        std::fclose(out);
        return FileError;
    }
    // Frames and records are read one by one: a large buffer keeps that to
    // a few big reads.
    std::setvbuf(in, nullptr, _IOFBF, 1 << 20);
    int result = dump(in, out, message);
    std::fclose(in);
    if (std::fclose(out) != 0 && result == Success) {
        message = "cannot write the output";
        result = FileError;
    }
    return result;
}

} // namespace sondump
