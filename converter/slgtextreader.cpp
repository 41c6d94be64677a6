#include "slgtextreader.h"

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

bool isBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads a number like "%f". Plain decimals with at most 24 bits of digits
// and 10 decimals are worked out here (both parts are exact floats, so one
// division rounds correctly, as strtof does); everything else (exponents,
// hexadecimal, inf, nan, long digit strings) goes to strtof itself. This
// keeps a track of a million points from spending its time in strtof.
void readFloat(const char *field, float &value)
{
    constexpr uint32_t kExactMantissa = 1u << 24;
    static const float kPowersOfTen[] = { 1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f };

    const char *p = field;
    while (isBlank(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    uint32_t mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool exact = true;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
        mantissa = mantissa * 10 + static_cast<uint32_t>(*p - '0');
        if (mantissa > kExactMantissa) {
            exact = false;
            break;
        }
    }
    if (exact && *p == '.') {
        for (++p; *p >= '0' && *p <= '9'; ++p, ++digits, ++decimals) {
            mantissa = mantissa * 10 + static_cast<uint32_t>(*p - '0');
            if (mantissa > kExactMantissa || decimals >= 10) {
                exact = false;
                break;
            }
        }
    }
    const bool followedByMore = *p == 'e' || *p == 'E' || *p == 'x' || *p == 'X';
    if (exact && digits > 0 && !followedByMore) {
        const float magnitude = static_cast<float>(mantissa) / kPowersOfTen[decimals];
        value = negative ? -magnitude : magnitude;
        return;
    }
    char *end = nullptr;
    const float parsed = std::strtof(field, &end);
    if (end != field)
        value = parsed;
}

// Like "%d" (decimal, leading blanks and a sign allowed); values beyond 32
// bits saturate instead of being undefined.
void readInt(const char *field, int32_t &value)
{
    const char *p = field;
    while (isBlank(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (*p < '0' || *p > '9')
        return;
    int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (magnitude <= INT64_C(1) << 40)
            magnitude = magnitude * 10 + (*p - '0');
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX)
        value = INT32_MAX;
    else if (signedValue < INT32_MIN)
        value = INT32_MIN;
    else
        value = static_cast<int32_t>(signedValue);
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

CSlgTextReader::CSlgTextReader(const char *data, std::size_t size)
    : mLine(kLineBufferSize)
{
    static const char kEmpty = '\0';
    mData = data ? data : &kEmpty;
    mDataSize = data ? size : 0;
    mBuffer.resize((mDataSize < kReadBlock ? mDataSize : kReadBlock) + kLookAhead);
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
    mData = nullptr;
}

std::size_t CSlgTextReader::ReadBytes(char *target, std::size_t count)
{
    if (mData) {
        const std::size_t left = mDataSize - mDataPos;
        const std::size_t got = count < left ? count : left;
        std::memcpy(target, mData + mDataPos, got);
        mDataPos += got;
        return got;
    }
    const std::size_t got = std::fread(target, 1, count, mFile);
    if (got == 0 && std::ferror(mFile))
        mReadError = true;
    return got;
}

bool CSlgTextReader::Refill()
{
    if (mPos > 0) {
        std::memmove(mBuffer.data(), mBuffer.data() + mPos, mEnd - mPos);
        mEnd -= mPos;
        mPos = 0;
    }
    while (!mEndOfFile && !mReadError && mEnd < kLookAhead) {
        const std::size_t got = ReadBytes(mBuffer.data() + mEnd, mBuffer.size() - mEnd);
        mEnd += got;
        if (got == 0 && !mReadError)
            mEndOfFile = true;
    }
    return mEnd > 0;
}

CSlgTextReader::LineResult CSlgTextReader::ReadLine()
{
    if (!IsOpen())
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
        // Fields end where their comma is overwritten with a terminator;
        // field 21 ends at the next comma, later fields are never looked at.
        char *fieldStarts[kFieldsNeeded];
        int fieldCount = 1;
        fieldStarts[0] = mLine.data();
        for (char *p = mLine.data(); *p; ++p) {
            if (*p != ',')
                continue;
            *p = '\0';
            if (fieldCount == kFieldsNeeded)
                break;
            fieldStarts[fieldCount++] = p + 1;
        }
        if (fieldCount < kFieldsNeeded)
            continue;
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
