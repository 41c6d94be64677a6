#pragma once

#include "trackpoint.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// Reads the comma-separated dump that Sondump writes of a sonar log: an
// exact header line, then one sounding per line. Only depth, position and
// time with their flags are taken; a number field that cannot be read keeps
// the value the previous line left in the point.
class CSlgTextReader
{
public:
    static const char *const kHeader;
    static constexpr std::size_t kLineBufferSize = 1024;
    // Fields 0 to 21 carry everything the reader takes.
    static constexpr int kFieldsNeeded = 22;

    explicit CSlgTextReader(const std::string &path);
    // Reads the dump from size bytes at data, which must outlive the reader.
    CSlgTextReader(const char *data, std::size_t size);
    virtual ~CSlgTextReader();

    CSlgTextReader(const CSlgTextReader &) = delete;
    CSlgTextReader &operator=(const CSlgTextReader &) = delete;

    bool IsOpen() const { return mFile != nullptr || mData != nullptr; }

    // 0 a point was read, 3 format error (header or over-long line),
    // 4 read failure, 5 end of data. Lines with fewer than 22 fields (an empty
    // line, a line cut short) are not soundings and are passed over.
    int ReadPoint(TrackPoint &point);
    void Close();

private:
    enum class LineResult { Line, TooLong, End, Error };

    // Takes the next line into mLine as a text-mode read would (a carriage
    // return before a line feed is dropped), without the line feed.
    LineResult ReadLine();
    bool Refill();
    // Up to count bytes of the file or the memory into target; 0 at the end
    // or on a read error (mReadError).
    std::size_t ReadBytes(char *target, std::size_t count);
    void ParseLine(TrackPoint &point, char **fieldStarts);

    std::string mPath;
    FILE *mFile = nullptr;
    const char *mData = nullptr;
    std::size_t mDataSize = 0;
    std::size_t mDataPos = 0;
    bool mHeaderChecked = false;
    bool mEndOfFile = false;
    bool mReadError = false;
    std::vector<char> mLine;
    std::vector<char> mBuffer;
    std::size_t mPos = 0;
    std::size_t mEnd = 0;
};
