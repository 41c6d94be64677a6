#include "stkdecoder.h"

#include "exitstatus.h"
#include "stkformat.h"
#include "stkheader.h"
#include "stkpreamble.h"
#include "trackpoint.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <vector>

namespace sondump {

namespace {

constexpr std::size_t kPointsPerRead = 4096;

// minizip reads the archive from memory through these callbacks.
struct MemoryStream
{
    const unsigned char *data;
    std::size_t size;
    std::size_t position;
};

voidpf ZCALLBACK openStream(voidpf opaque, const void *, int)
{
    return opaque;
}

uLong ZCALLBACK readStream(voidpf, voidpf stream, void *buffer, uLong size)
{
    MemoryStream &memory = *static_cast<MemoryStream *>(stream);
    const std::size_t count = std::min<std::size_t>(size, memory.size - memory.position);
    std::memcpy(buffer, memory.data + memory.position, count);
    memory.position += count;
    return static_cast<uLong>(count);
}

uLong ZCALLBACK writeStream(voidpf, voidpf, const void *, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK tellStream(voidpf, voidpf stream)
{
    return static_cast<MemoryStream *>(stream)->position;
}

long ZCALLBACK seekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    MemoryStream &memory = *static_cast<MemoryStream *>(stream);
    ZPOS64_T base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = memory.position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = memory.size;
    if (offset > memory.size - base)
        return -1;
    memory.position = static_cast<std::size_t>(base + offset);
    return 0;
}

int ZCALLBACK closeStream(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK streamError(voidpf, voidpf)
{
    return 0;
}

bool endsWithStk(const char *name)
{
    const std::string text(name);
    if (text.size() < 4)
        return false;
    std::string extension = text.substr(text.size() - 4);
    for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".stk";
}

// Reads exactly size bytes unless the data ends first; negative on a
// damaged stream.
using Reader = std::function<long long(unsigned char *, std::size_t)>;

// The part shared by archives and bare files: header check, then points.
int decodeStk(const Reader &read, uint64_t totalSize, DumpWriter &out, std::string &message)
{
    unsigned char head[StkFormat::kPointsOffset];
    const long long gotHead = read(head, sizeof head);
    if (gotHead < 0) {
        message = "the track's data is damaged";
        return Undecodable;
    }
    if (gotHead < static_cast<long long>(StkPreamble::kSize)) {
        message = "the track ends inside its preamble";
        return Undecodable;
    }
    const StkPreamble preamble = StkPreamble::decode(head);
    if (!preamble.isReadable()) {
        message = "not a .stk track of a readable version";
        return Undecodable;
    }
    if (gotHead < static_cast<long long>(sizeof head)) {
        message = "the track ends inside its header";
        return Undecodable;
    }
    const StkHeader header = StkHeader::decode(head + StkFormat::kHeaderOffset);
    const uint64_t expected = StkFormat::expectedFileSize(header.mNofPoints);
    if (totalSize != expected) {
        message = "size mismatch: the header promises " + std::to_string(static_cast<uint32_t>(header.mNofPoints))
            + " points (" + std::to_string(expected) + " bytes), the track holds " + std::to_string(totalSize)
            + " bytes";
        return Undecodable;
    }

    out.writeHeader();
    const uint64_t pointCount = static_cast<uint32_t>(header.mNofPoints);
    std::vector<unsigned char> records(kPointsPerRead * StkFormat::kPointSize);
    TrackPoint point;
    uint64_t done = 0;
    while (done < pointCount) {
        const uint64_t wanted = std::min<uint64_t>(pointCount - done, kPointsPerRead);
        const long long got = read(records.data(), static_cast<std::size_t>(wanted * StkFormat::kPointSize));
        if (got < 0) {
            message = "the track's data is damaged after " + std::to_string(done) + " points";
            return Undecodable;
        }
        const uint64_t whole = static_cast<uint64_t>(got) / StkFormat::kPointSize;
        for (uint64_t i = 0; i < whole; ++i) {
            StkFormat::decodePoint(records.data() + i * StkFormat::kPointSize, header.mDepthUnit, point);
            out.write(StkDecoder::rowFromPoint(point));
        }
        done += whole;
        if (whole < wanted) {
            message = "the track ends after " + std::to_string(done) + " of " + std::to_string(pointCount) + " points";
            return Undecodable;
        }
    }
    return Success;
}

} // namespace

DumpRow StkDecoder::rowFromPoint(const TrackPoint &point)
{
    DumpRow row;
    row.depthValid = point.DepthValid;
    row.depth = point.Depth;
    row.positionValid = point.PositionValid;
    row.positionX = point.PositionX;
    row.positionY = point.PositionY;
    row.timeValid = point.TimeValid;
    row.timeOffset = point.TimeOffset;
    return row;
}

int StkDecoder::decodeArchive(const unsigned char *data, std::size_t size, DumpWriter &out, std::string &message)
{
    MemoryStream in { data, size, 0 };
    zlib_filefunc64_def functions = {};
    functions.zopen64_file = openStream;
    functions.zread_file = readStream;
    functions.zwrite_file = writeStream;
    functions.ztell64_file = tellStream;
    functions.zseek64_file = seekStream;
    functions.zclose_file = closeStream;
    functions.zerror_file = streamError;
    functions.opaque = &in;

    unzFile archive = unzOpen2_64("archive", &functions);
    if (!archive) {
        message = "not a readable zip archive";
        return Undecodable;
    }

    unz_file_info64 info = {};
    char name[1024];
    bool found = false;
    for (int step = unzGoToFirstFile(archive); step == UNZ_OK; step = unzGoToNextFile(archive)) {
        if (unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        if (endsWithStk(name)) {
            found = true;
            break;
        }
    }
    if (!found) {
        unzClose(archive);
        message = "the archive holds no .stk track";
        return Undecodable;
    }
    if (unzOpenCurrentFile(archive) != UNZ_OK) {
        unzClose(archive);
        message = std::string("cannot open ") + name + " in the archive";
        return Undecodable;
    }

    const Reader read = [archive](unsigned char *buffer, std::size_t size) -> long long {
        std::size_t total = 0;
        while (total < size) {
            const int got = unzReadCurrentFile(archive, buffer + total, static_cast<unsigned>(size - total));
            if (got < 0)
                return -1;
            if (got == 0)
                break;
            total += static_cast<std::size_t>(got);
        }
        return static_cast<long long>(total);
    };
    int result = decodeStk(read, info.uncompressed_size, out, message);
    if (result == Success) {
        // Everything is read, so the check sum has been computed.
        unsigned char extra;
        if (read(&extra, 1) != 0 || unzCloseCurrentFile(archive) != UNZ_OK) {
            message = std::string(name) + " in the archive is damaged (check sum or length)";
            result = Undecodable;
        }
    } else {
        unzCloseCurrentFile(archive);
    }
    unzClose(archive);
    return result;
}

int StkDecoder::decodeTrack(const unsigned char *data, std::size_t size, DumpWriter &out, std::string &message)
{
    std::size_t position = 0;
    const Reader read = [data, size, &position](unsigned char *buffer, std::size_t length) -> long long {
        const std::size_t count = std::min(length, size - position);
        std::memcpy(buffer, data + position, count);
        position += count;
        return static_cast<long long>(count);
    };
    return decodeStk(read, size, out, message);
}

} // namespace sondump
