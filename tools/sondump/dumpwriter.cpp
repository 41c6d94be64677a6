#include "dumpwriter.h"

#include "slgtextreader.h"

#include <charconv>
#include <cstring>

namespace sondump {

namespace {
constexpr std::size_t kBufferSize = 256 * 1024;
// Longer than any line the writer produces (27 fields of at most ~16 chars).
constexpr std::size_t kLineReserve = 1024;
} // namespace

DumpWriter::DumpWriter(FILE *out)
    : mOut(out)
    , mBuffer(kBufferSize)
{
}

DumpWriter::~DumpWriter()
{
    flush();
}

void DumpWriter::append(const char *text, std::size_t length)
{
    std::memcpy(mBuffer.data() + mUsed, text, length);
    mUsed += length;
}

void DumpWriter::appendFlag(bool flag)
{
    mBuffer[mUsed++] = flag ? 'T' : 'F';
    mBuffer[mUsed++] = ',';
}

void DumpWriter::appendReal(float value)
{
    const std::to_chars_result result = std::to_chars(mBuffer.data() + mUsed, mBuffer.data() + mBuffer.size(), value);
    mUsed = static_cast<std::size_t>(result.ptr - mBuffer.data());
    mBuffer[mUsed++] = ',';
}

void DumpWriter::appendInteger(int64_t value)
{
    const std::to_chars_result result = std::to_chars(mBuffer.data() + mUsed, mBuffer.data() + mBuffer.size(), value);
    mUsed = static_cast<std::size_t>(result.ptr - mBuffer.data());
    mBuffer[mUsed++] = ',';
}

void DumpWriter::writeHeader()
{
    append(CSlgTextReader::kHeader, std::strlen(CSlgTextReader::kHeader));
    append("\n", 1);
}

void DumpWriter::write(const DumpRow &row)
{
    if (mBuffer.size() - mUsed < kLineReserve)
        flush();
    appendReal(row.upperLimit);
    appendReal(row.lowerLimit);
    appendFlag(row.depthValid);
    appendReal(row.depth);
    appendFlag(row.waterTempValid);
    appendReal(row.waterTemp);
    appendFlag(row.temp2Valid);
    appendReal(row.temp2);
    appendFlag(row.temp3Valid);
    appendReal(row.temp3);
    appendFlag(row.waterSpeedValid);
    appendReal(row.waterSpeed);
    appendFlag(row.positionValid);
    appendInteger(row.positionX);
    appendInteger(row.positionY);
    appendReal(row.surfaceDepth);
    appendFlag(row.surfaceValid);
    appendReal(row.topOfBottomDepth);
    appendFlag(row.topOfBottomValid);
    appendFlag(row.columnIs50kHz);
    appendFlag(row.timeValid);
    appendInteger(row.timeOffset);
    appendFlag(row.speedTrackValid);
    appendReal(row.speed);
    appendReal(row.track);
    appendFlag(row.altitudeValid);
    appendReal(row.altitude);
    mBuffer[mUsed - 1] = '\n'; // the last separator ends the line
    ++mRowCount;
}

void DumpWriter::noteSkipped(uint64_t records, uint64_t bytes)
{
    mSkippedRecords += records;
    mSkippedBytes += bytes;
}

bool DumpWriter::flush()
{
    if (mUsed > 0 && !mFailed && std::fwrite(mBuffer.data(), 1, mUsed, mOut) != mUsed)
        mFailed = true;
    mUsed = 0;
    if (!mFailed && std::fflush(mOut) != 0)
        mFailed = true;
    return !mFailed;
}

} // namespace sondump
