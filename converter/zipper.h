#pragma once

#include <cstdint>
#include <string>

// Packs files into a zip archive through minizip: deflate at level 6, entry
// named after the file alone, dated with the file's local last-write time.
class CZipper
{
public:
    CZipper();
    virtual ~CZipper();

    CZipper(const CZipper &) = delete;
    CZipper &operator=(const CZipper &) = delete;

    // Creates the archive anew, or appends to it when append is set and it
    // exists. Closes any archive still open first.
    bool Open(const std::string &archivePath, bool append);
    // True when the file was stored completely. A relative path is taken
    // relative to the archive's folder.
    bool AddFile(const std::string &filePath);
    // Writes the central directory and closes the archive.
    bool Close();

    int EntryCount() const { return mEntryCount; }
    uint64_t BytesStored() const { return mBytesStored; }

private:
    void *mZip = nullptr;
    std::string mArchiveFolder;
    int mEntryCount = 0;
    uint64_t mBytesStored = 0;
};
