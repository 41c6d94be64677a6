#include "stkwriter.h"

#include "calendartime.h"
#include "platform.h"
#include "stkformat.h"

#include <cstring>

namespace {
constexpr std::size_t kStreamBufferSize = 256 * 1024;
}

CStkWriter::CStkWriter() = default;

CStkWriter::~CStkWriter()
{
    // A writer abandoned without Finish still leaves a consistent header.
    if (mFile) {
        if (!mFailed)
            WriteHeader();
        CloseFile();
    }
}

int CStkWriter::Open(const std::string &sourcePath, const std::string &outputPath)
{
    if (mFile)
        CloseFile();
    mPreamble = StkPreamble::current();
    mHeader = StkHeader();
    mLargestValidTimeOffset = 0;
    mPointCount = 0;
    mFailed = false;

    std::string fullPath;
    if (!Platform::fullPath(sourcePath, fullPath) || fullPath.size() >= StkHeader::kPathSize)
        return 10;
    std::memcpy(mHeader.mOriginalFullPath, fullPath.data(), fullPath.size());

    uint64_t size = 0;
    if (!Platform::fileSize(sourcePath, size))
        return 10;
    mHeader.mOriginalFileSize = static_cast<uint32_t>(size);

    if (!Platform::fileTimes(sourcePath, mHeader.mOriginalCreationLocalTime, mHeader.mOriginalLastWriteLocalTime))
        return 10;

    const CalendarTime lastWrite = CalendarTime::fromFileTime(mHeader.mOriginalLastWriteLocalTime);
    std::snprintf(mHeader.mOriginalLastWriteLocalTimeStr, sizeof mHeader.mOriginalLastWriteLocalTimeStr,
                  "%04d:%02d:%02d %02d:%02d:%02d,%03d", lastWrite.year, lastWrite.month, lastWrite.day,
                  lastWrite.hour, lastWrite.minute, lastWrite.second, lastWrite.millisecond);

    mHeader.mNofPoints = 0;
    mHeader.mPointSize = StkFormat::kPointSize;
    mHeader.mDepthUnit = StkFormat::kDepthInMetres;

    mFile = std::fopen(outputPath.c_str(), "wb");
    if (!mFile)
        return 10;
    // Points are 20 bytes each: buffer them so that a track costs a few
    // large writes rather than one per point.
    mStreamBuffer.resize(kStreamBufferSize);
    std::setvbuf(mFile, mStreamBuffer.data(), _IOFBF, mStreamBuffer.size());

    unsigned char image[StkFormat::kPointsOffset];
    mPreamble.encode(image);
    mHeader.encode(image + StkFormat::kHeaderOffset);
    if (std::fwrite(image, 1, sizeof image, mFile) != sizeof image)
        mFailed = true;
    return 0;
}

int CStkWriter::WritePoint(const TrackPoint &point)
{
    unsigned char record[StkFormat::kPointSize];
    StkFormat::encodePoint(point, mHeader.mDepthUnit, record);
    if (!mFile || std::fwrite(record, 1, sizeof record, mFile) != sizeof record)
        mFailed = true;
    ++mPointCount;
    mHeader.mNofPoints = static_cast<int32_t>(mPointCount);

    if (point.TimeValid && point.TimeOffset > mLargestValidTimeOffset)
        mLargestValidTimeOffset = point.TimeOffset;
    return mFailed ? 10 : 0;
}

int CStkWriter::Finish()
{
    if (!mFile)
        return 10;
    if (!mFailed)
        WriteHeader();
    const bool closed = CloseFile();
    return mFailed || !closed ? 10 : 0;
}

bool CStkWriter::WriteHeader()
{
    unsigned char image[StkHeader::kSize];
    mHeader.encode(image);
    if (std::fseek(mFile, StkFormat::kHeaderOffset, SEEK_SET) != 0
        || std::fwrite(image, 1, sizeof image, mFile) != sizeof image || std::fflush(mFile) != 0) {
        mFailed = true;
        return false;
    }
    return true;
}

bool CStkWriter::CloseFile()
{
    const bool closed = std::fclose(mFile) == 0;
    mFile = nullptr;
    if (!closed)
        mFailed = true;
    return closed;
}
