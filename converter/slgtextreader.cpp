#include "slgtextreader.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

const char *const CSlgTextReader::kHeader =
    "UpperLimit,LowerLimit,DepthValid,Depth,WaterTempValid,WaterTemp,Temp2Valid,Temp2,Temp3Valid,Temp3,"
    "WaterSpeedValid,WaterSpeed,PositionValid,PositionX,PositionY,SurfaceDepth,SurfaceValid,"
    "TopOfBottomDepth,TopOfBottomValid,ColumnIs50kHz,TimeValid,TimeOffset[ms],SpeedTrackValid,Speed,"
    "Track,AltitudeValid,Altitude";

namespace {

constexpr std::size_t kReadBlock = 256 * 1024;
// A line is acceptable only while it and its line feed fit the line buffer
// with room for the terminator; one more byte is enough to find a CR LF.
constexpr std::size_t kLookAhead = CSlgTextReader::kLineBufferSize + 1;

bool isFlagSet(const char *field)
{
    return field[0] == 'T';
}

void readFloat(const char *field, float &value)
{
    char *end = nullptr;
    const float parsed = std::strtof(field, &end);
    if (end != field)
        value = parsed;
}

// Like "%d": out-of-range values saturate instead of being undefined.
void readInt(const char *field, int32_t &value)
{
    char *end = nullptr;
    errno = 0;
    const long parsed = std::strtol(field, &end, 10);
    if (end == field)
        return;
    if (parsed > INT32_MAX)
        value = INT32_MAX;
    else if (parsed < INT32_MIN)
        value = INT32_MIN;
    else
        value = static_cast<int32_t>(parsed);
}

} // namespace

CSlgTextReader::CSlgTextReader(const std::string &path)
    : mPath(path)
    , mLine(kLineBufferSize)
{
    mFile = std::fopen(path.c_str(), "rb");
    if (mFile)
        mBuffer.resize(kReadBlock + kLookAhead);
}

CSlgTextReader::~CSlgTextReader()
{
    Close();
}

void CSlgTextReader::Close()
{
    if (mFile)
        std::fclose(mFile);
    mFile = nullptr;
}

bool CSlgTextReader::Refill()
{
    if (mPos > 0) {
        std::memmove(mBuffer.data(), mBuffer.data() + mPos, mEnd - mPos);
        mEnd -= mPos;
        mPos = 0;
    }
    while (!mEndOfFile && !mReadError && mEnd < kLookAhead) {
        const std::size_t got = std::fread(mBuffer.data() + mEnd, 1, mBuffer.size() - mEnd, mFile);
        mEnd += got;
        if (got == 0) {
            if (std::ferror(mFile))
                mReadError = true;
            else
                mEndOfFile = true;
        }
    }
    return mEnd > 0;
}

CSlgTextReader::LineResult CSlgTextReader::ReadLine()
{
    if (!mFile)
        return LineResult::Error;
    if (mEnd - mPos < kLookAhead)
        Refill();
    const std::size_t available = mEnd - mPos;
    if (available == 0)
        return mReadError ? LineResult::Error : LineResult::End;

    const char *start = mBuffer.data() + mPos;
    const std::size_t window = available < kLookAhead ? available : kLookAhead;
    const char *lineFeed = static_cast<const char *>(std::memchr(start, '\n', window));

    // n counts the characters taken, the line feed included, as a text-mode
    // fgets into a buffer of kLineBufferSize would.
    std::size_t length;
    std::size_t taken;
    if (lineFeed) {
        length = static_cast<std::size_t>(lineFeed - start);
        const std::size_t physical = length + 1;
        if (length > 0 && start[length - 1] == '\r')
            --length;
        if (length + 1 + 1 >= kLineBufferSize)
            return LineResult::TooLong;
        taken = physical;
    } else {
        // No line feed in reach: either the last line of the file or a line
        // longer than the buffer.
        if (available >= kLookAhead || !(mEndOfFile || mReadError))
            return LineResult::TooLong;
        length = available;
        if (length + 1 >= kLineBufferSize)
            return LineResult::TooLong;
        taken = available;
    }
    std::memcpy(mLine.data(), start, length);
    mLine[length] = '\0';
    mPos += taken;
    return LineResult::Line;
}

int CSlgTextReader::ReadPoint(TrackPoint &point)
{
    if (!mHeaderChecked) {
        mHeaderChecked = true;
        const LineResult header = ReadLine();
        if (header == LineResult::Error)
            return 4;
        if (header != LineResult::Line || std::strcmp(mLine.data(), kHeader) != 0)
            return 3;
    }

    for (;;) {
        switch (ReadLine()) {
        case LineResult::TooLong:
            return 3;
        case LineResult::Error:
            return 4;
        case LineResult::End:
            return 5;
        case LineResult::Line:
            break;
        }
        char *fieldStarts[kFieldsNeeded];
        int fieldCount = 0;
        char *cursor = mLine.data();
        fieldStarts[fieldCount++] = cursor;
        while (fieldCount < kFieldsNeeded) {
            char *comma = std::strchr(cursor, ',');
            if (!comma)
                break;
            *comma = '\0';
            cursor = comma + 1;
            fieldStarts[fieldCount++] = cursor;
        }
        if (fieldCount < kFieldsNeeded)
            continue;
        // Field 21 ends at the next comma; later fields are never looked at.
        if (char *comma = std::strchr(cursor, ','))
            *comma = '\0';
        ParseLine(point, fieldStarts);
        return 0;
    }
}

void CSlgTextReader::ParseLine(TrackPoint &point, char **fieldStarts)
{
    point.DepthValid = isFlagSet(fieldStarts[2]);
    readFloat(fieldStarts[3], point.Depth);
    point.PositionValid = isFlagSet(fieldStarts[12]);
    readInt(fieldStarts[13], point.PositionX);
    readInt(fieldStarts[14], point.PositionY);
    point.TimeValid = isFlagSet(fieldStarts[20]);
    readInt(fieldStarts[21], point.TimeOffset);
}
