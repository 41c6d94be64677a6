#pragma once

#include "stkheader.h"
#include "stkpreamble.h"
#include "trackpoint.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Writes a .stk file: the header describing the source log, then one record
// per point; the final point count goes into the header on Finish.
class CStkWriter
{
public:
    CStkWriter();
    virtual ~CStkWriter();

    CStkWriter(const CStkWriter &) = delete;
    CStkWriter &operator=(const CStkWriter &) = delete;

    // 0, or 10 when the source log cannot be described or the output cannot
    // be created (nothing is created then).
    int Open(const std::string &sourcePath, const std::string &outputPath);
    // 0, or 10 once the output has failed. The point is counted either way.
    int WritePoint(const TrackPoint &point);
    // Writes the final header and closes the file: 0, or 10 when any write,
    // including ones buffered earlier, failed.
    int Finish();

    int32_t PointCount() const { return mHeader.mNofPoints; }
    int32_t LargestValidTimeOffset() const { return mLargestValidTimeOffset; }
    // True when a write failed at any point since Open.
    bool Failed() const { return mFailed; }

private:
    bool WriteHeader();
    bool CloseFile();

    StkPreamble mPreamble;
    StkHeader mHeader;
    FILE *mFile = nullptr;
    std::vector<char> mStreamBuffer;
    int32_t mLargestValidTimeOffset = 0;
    uint32_t mPointCount = 0;
    bool mFailed = false;
};
