#include "sonardump.h"

#include "dumpwriter.h"
#include "exitstatus.h"
#include "inputbytes.h"
#include "littleendian.h"
#include "platform.h"
#include "replacingoutput.h"
#include "sl2decoder.h"
#include "slgdecoder.h"
#include "stkdecoder.h"

#include <cstdio>
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

int SonarDump::dump(const unsigned char *data, std::size_t size, DumpWriter &out, std::string &message)
{
    int result = Success;
    switch (detect(data, size)) {
    case InputKind::Slg:
        result = SlgDecoder::decode(data, size, out, message);
        break;
    case InputKind::Sl2:
        result = Sl2Decoder::decode(data, size, out, message);
        break;
    case InputKind::ZipArchive:
        result = StkDecoder::decodeArchive(data, size, out, message);
        break;
    case InputKind::StkTrack:
        result = StkDecoder::decodeTrack(data, size, out, message);
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
                      static_cast<unsigned>(LittleEndian::getU16(data)));
        message = text;
        return UnknownFormat;
    }
    }
    if (!out.flush()) {
        message = "cannot write the output";
        return FileError;
    }
    return result;
}

int SonarDump::run(const std::string &inputPath, const std::string &outputPath, DumpReport &report)
{
    if (Platform::sameFile(inputPath, outputPath)) {
        report.message = "the input and the output are the same file";
        return UsageError;
    }
    InputBytes input;
    if (!input.open(inputPath, report.message))
        return FileError;
    ReplacingOutput output(outputPath);
    if (!output.open(report.message))
        return FileError;
    int result;
    {
        DumpWriter writer(output.stream());
        result = dump(input.data(), input.size(), writer, report.message);
        report.skippedRecords = writer.skippedRecords();
        report.skippedBytes = writer.skippedBytes();
    }
    if (result == Success && !output.commit(report.message))
        result = FileError;
    return result;
}

} // namespace sondump
