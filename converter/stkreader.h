#pragma once

#include "stkheader.h"
#include "stkpreamble.h"
#include "trackpoint.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Opens and validates a .stk file, then hands out its points one by one.
class CStkReader
{
public:
    // Validates at once; see Status().
    explicit CStkReader(const std::string &path);
    // Reads the track from size bytes at data, which must outlive the reader.
    CStkReader(const unsigned char *data, std::size_t size);
    virtual ~CStkReader();

    CStkReader(const CStkReader &) = delete;
    CStkReader &operator=(const CStkReader &) = delete;

    // 0 valid, 3 bad magic or version 1.0.0, 4 read failure, 9 the file size
    // does not match the point count. Points can be read only at 0.
    int Status() const { return mStatus; }

    // 0 a point was read, 5 end of file, 4 other read failure.
    int ReadPoint(TrackPoint &point);

    const std::string &Path() const { return mPath; }
    int VersionMajor() const { return mPreamble.versionMajor; }
    int VersionMinor() const { return mPreamble.versionMinor; }
    int VersionPatch() const { return mPreamble.versionPatch; }
    const char *OriginalFullPath() const { return mHeader.mOriginalFullPath; }
    uint32_t OriginalFileSize() const { return mHeader.mOriginalFileSize; }
    uint64_t OriginalCreationLocalTime() const { return mHeader.mOriginalCreationLocalTime; }
    uint64_t OriginalLastWriteLocalTime() const { return mHeader.mOriginalLastWriteLocalTime; }
    const char *OriginalLastWriteLocalTimeStr() const { return mHeader.mOriginalLastWriteLocalTimeStr; }
    int32_t NofPoints() const { return mHeader.mNofPoints; }
    uint32_t DepthUnit() const { return mHeader.mDepthUnit; }

private:
    int Validate();
    // Up to count bytes of the file or the memory into target.
    std::size_t ReadBytes(unsigned char *target, std::size_t count);
    void ReportHeader() const;

    std::string mPath;
    StkPreamble mPreamble;
    StkHeader mHeader;
    FILE *mFile = nullptr;
    const unsigned char *mData = nullptr;
    std::size_t mDataSize = 0;
    std::size_t mDataPos = 0;
    int mStatus = 4;
};
