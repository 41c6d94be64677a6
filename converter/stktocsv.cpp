#include "stktocsv.h"

#include "calendartime.h"
#include "pathtext.h"
#include "platform.h"
#include "stkformat.h"
#include "stkreader.h"

#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t kStreamBufferSize = 256 * 1024;

char flagText(bool flag)
{
    return flag ? 'T' : 'F';
}

void writeTime(FILE *out, const char *label, uint64_t fileTime)
{
    const CalendarTime time = CalendarTime::fromFileTime(fileTime);
    std::fprintf(out, "%s,\"%04d:%02d:%02d %02d:%02d:%02d.%03d\"\n", label, time.year, time.month, time.day,
                 time.hour, time.minute, time.second, time.millisecond);
}

} // namespace

CStkToCsv::CStkToCsv() = default;

CStkToCsv::~CStkToCsv() = default;

int CStkToCsv::Convert(const std::string &sourcePath, const std::string &destinationFolder)
{
    CStkReader reader(sourcePath);
    if (reader.Status() != 0)
        return 10;

    const std::string outputName = PathText::setExtension(PathText::fileName(sourcePath), ".csv");
    const std::string outputPath = PathText::join(destinationFolder, outputName);
    // A track named *.csv exported into its own folder would be truncated
    // before its points are read.
    if (Platform::sameFile(sourcePath, outputPath)) {
        Platform::debugOutput(outputPath + " is the track itself\n");
        return 10;
    }
    // Text mode: line feeds follow the platform's convention for text files.
    FILE *out = std::fopen(outputPath.c_str(), "w");
    if (!out)
        return 10;
    std::vector<char> streamBuffer(kStreamBufferSize);
    std::setvbuf(out, streamBuffer.data(), _IOFBF, streamBuffer.size());

    std::fprintf(out, "stk file version,%d.%d.%d\n", reader.VersionMajor(), reader.VersionMinor(),
                 reader.VersionPatch());
    std::fprintf(out, "OriginalFullPath,%s\n", reader.OriginalFullPath());
    std::fprintf(out, "GetOriginalFileSize,%u\n", static_cast<unsigned>(reader.OriginalFileSize()));
    writeTime(out, "OrigLastWriteLocalTime", reader.OriginalLastWriteLocalTime());
    writeTime(out, "OrigCreatLocalTime", reader.OriginalCreationLocalTime());
    std::fprintf(out, "NofPoints,%d\n", static_cast<int>(reader.NofPoints()));
    std::fputs("\n", out);
    std::fputs("PositionX,PositionY,PositionValid,Depth[m],DepthValid,TimeOffset[ms],TimeValid\n", out);

    TrackPoint point;
    int result;
    while ((result = reader.ReadPoint(point)) == 0) {
        std::fprintf(out, "%d,%d,%c,%g,%c,%d,%c\n", static_cast<int>(point.PositionX),
                     static_cast<int>(point.PositionY), flagText(point.PositionValid),
                     static_cast<double>(point.Depth) * StkFormat::kMetresPerFoot, flagText(point.DepthValid),
                     static_cast<int>(point.TimeOffset), flagText(point.TimeValid));
    }
    if (result == 5)
        result = 0;

    const bool written = !std::ferror(out);
    const bool closed = std::fclose(out) == 0;
    if (result == 0 && !(written && closed))
        result = 10;
    if (result != 0)
        Platform::deleteFile(outputPath);
    return result;
}
