#include "stkreader.h"

#include "calendartime.h"
#include "platform.h"
#include "stkformat.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

std::string format(const char *pattern, ...)
{
    char buffer[512];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
    va_end(arguments);
    return buffer;
}

std::string formatTime(const char *label, uint64_t fileTime)
{
    const CalendarTime time = CalendarTime::fromFileTime(fileTime);
    return format("%s:  %04d/%02d/%02d  %02d:%02d:%02d\n", label, time.year, time.month, time.day, time.hour,
                  time.minute, time.second);
}

} // namespace

CStkReader::CStkReader(const std::string &path)
    : mPath(path)
{
    mStatus = Validate();
}

CStkReader::CStkReader(const unsigned char *data, std::size_t size)
    : mPath("(memory)")
{
    static const unsigned char kEmpty = 0;
    mData = data ? data : &kEmpty;
    mDataSize = data ? size : 0;
    mStatus = Validate();
}

CStkReader::~CStkReader()
{
    if (mFile)
        std::fclose(mFile);
}

std::size_t CStkReader::ReadBytes(unsigned char *target, std::size_t count)
{
    if (!mData)
        return std::fread(target, 1, count, mFile);
    const std::size_t left = mDataSize - mDataPos;
    const std::size_t got = count < left ? count : left;
    std::memcpy(target, mData + mDataPos, got);
    mDataPos += got;
    return got;
}

int CStkReader::Validate()
{
    if (!mData) {
        mFile = std::fopen(mPath.c_str(), "rb");
        if (!mFile)
            return 4;
    }

    unsigned char preamble[StkPreamble::kSize];
    if (ReadBytes(preamble, sizeof preamble) != sizeof preamble)
        return 4;
    mPreamble = StkPreamble::decode(preamble);
    if (!mPreamble.isReadable())
        return 3;

    unsigned char header[StkHeader::kSize];
    if (ReadBytes(header, sizeof header) != sizeof header)
        return 4;
    mHeader = StkHeader::decode(header);

    uint64_t size = mDataSize;
    if (!mData && !Platform::fileSize(mPath, size))
        size = 0;

    ReportHeader();

    if (size != StkFormat::expectedFileSize(mHeader.mNofPoints)) {
        Platform::debugOutput("size mismatch !!!!!!\n");
        return 9;
    }
    return 0;
}

void CStkReader::ReportHeader() const
{
    std::string report;
    report += std::string("original filename:  ") + mHeader.mOriginalFullPath + "\n";
    report += format("original filesize:  %d\n", static_cast<int>(mHeader.mOriginalFileSize));
    report += formatTime("Creation time", mHeader.mOriginalCreationLocalTime);
    report += formatTime("Last write time", mHeader.mOriginalLastWriteLocalTime);
    report += format("Number of points:  %d\n", mHeader.mNofPoints);
    report += format("stk file version:  %d.%d.%d\n", mPreamble.versionMajor, mPreamble.versionMinor,
                     mPreamble.versionPatch);
    report += std::string("mOriginalLastWriteLocalTimeStr:  ") + mHeader.mOriginalLastWriteLocalTimeStr + "\n";
    report += "\n";
    Platform::debugOutput(report);
}

int CStkReader::ReadPoint(TrackPoint &point)
{
    if (mStatus != 0 || (!mFile && !mData))
        return 4;
    unsigned char record[StkFormat::kPointSize];
    if (ReadBytes(record, sizeof record) != sizeof record)
        return !mData && !std::feof(mFile) ? 4 : 5;
    StkFormat::decodePoint(record, mHeader.mDepthUnit, point);
    return 0;
}
