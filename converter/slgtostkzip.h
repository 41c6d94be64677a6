#pragma once

#include <cstdint>
#include <string>

// Turns a Lowrance sonar log into a zipped .stk track: Sondump writes the
// log as text into a temporary file, the points are read from it into a
// .stk file, which is named after the log and the track and then zipped
// into the destination folder.
class CSlgToStkzip
{
public:
    // tempFolder holds every intermediate file; the caller makes it private
    // to this run.
    explicit CSlgToStkzip(const std::string &tempFolder);
    virtual ~CSlgToStkzip();

    // 0 success; 8 the dump cannot be produced or opened; 10 reading,
    // writing, renaming or archiving failed; 11 fewer points than
    // minNPoint. Only a successful run leaves anything behind: the archive.
    int Convert(const std::string &sourcePath, const std::string &destinationFolder, int32_t minNPoint);

    const std::string &DumpToolPath() const { return mDumpToolPath; }

private:
    std::string mDumpToolPath;
    std::string mTempFolder;
};
