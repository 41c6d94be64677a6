#include "zipper.h"

#include "calendartime.h"
#include "pathtext.h"
#include "platform.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <cstdio>
#include <vector>

namespace {

constexpr std::size_t kCopyBlock = 2048;
constexpr int kCompressionLevel = 6;

// DOS dates cover 1980 to 2107; minizip would wrap anything outside into a
// meaningless date, so hold such times at the nearest end.
tm_zip dosRangeTime(uint64_t localFileTime)
{
    const CalendarTime time = CalendarTime::fromFileTime(localFileTime);
    tm_zip result = {};
    if (time.year < 1980) {
        result.tm_year = 1980;
        result.tm_mon = 0;
        result.tm_mday = 1;
        return result;
    }
    if (time.year > 2107) {
        result.tm_year = 2107;
        result.tm_mon = 11;
        result.tm_mday = 31;
        result.tm_hour = 23;
        result.tm_min = 59;
        result.tm_sec = 58;
        return result;
    }
    result.tm_year = static_cast<uInt>(time.year);
    result.tm_mon = static_cast<uInt>(time.month - 1);
    result.tm_mday = static_cast<uInt>(time.day);
    result.tm_hour = static_cast<uInt>(time.hour);
    result.tm_min = static_cast<uInt>(time.minute);
    result.tm_sec = static_cast<uInt>(time.second);
    return result;
}

} // namespace

CZipper::CZipper() = default;

CZipper::~CZipper()
{
    Close();
}

bool CZipper::Open(const std::string &archivePath, bool append)
{
    Close();
    std::string full;
    if (archivePath.empty() || !Platform::fullPath(archivePath, full))
        return false;
    mArchiveFolder = full.substr(0, full.find_last_of("/\\") + 1);

    uint64_t existingSize = 0;
    const bool appendToExisting = append && Platform::fileSize(full, existingSize);
    mZip = zipOpen64(full.c_str(), appendToExisting ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE);
    mEntryCount = 0;
    mBytesStored = 0;
    return mZip != nullptr;
}

bool CZipper::AddFile(const std::string &filePath)
{
    if (!mZip || filePath.empty())
        return false;
    const std::string path = Platform::isAbsolutePath(filePath) ? filePath : PathText::join(mArchiveFolder, filePath);

    uint64_t creation = 0;
    uint64_t lastWrite = 0;
    uint64_t size = 0;
    uint16_t versionMadeBy = 0;
    uint32_t attributes = 0;
    if (!Platform::fileTimes(path, creation, lastWrite) || !Platform::fileSize(path, size)
        || !Platform::zipAttributes(path, versionMadeBy, attributes))
        return false;
    zip_fileinfo info = {};
    info.tmz_date = dosRangeTime(lastWrite);
    info.dosDate = 0;
    // minizip itself sets the text bit when zlib finds the first block to be
    // text; a .stk file starts with binary bytes, so its entry keeps 0.
    info.internal_fa = 0;
    info.external_fa = attributes;

    FILE *in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;

    const std::string entryName = PathText::fileName(path);
    const int zip64 = size >= 0xFFFFFFFFULL ? 1 : 0;
    if (zipOpenNewFileInZip4_64(mZip, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                kCompressionLevel, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                versionMadeBy, 0, zip64)
        != ZIP_OK) {
        std::fclose(in);
        return false;
    }

    bool ok = true;
    std::vector<char> block(kCopyBlock);
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), in);
        if (got > 0) {
            if (zipWriteInFileInZip(mZip, block.data(), static_cast<unsigned>(got)) != ZIP_OK) {
                ok = false;
                break;
            }
            mBytesStored += got;
        }
        if (got < block.size()) {
            if (std::ferror(in))
                ok = false;
            break;
        }
    }
    std::fclose(in);
    if (zipCloseFileInZip(mZip) != ZIP_OK)
        ok = false;
    if (ok)
        ++mEntryCount;
    return ok;
}

bool CZipper::Close()
{
    if (!mZip)
        return false;
    const bool ok = zipClose(mZip, nullptr) == ZIP_OK;
    mZip = nullptr;
    return ok;
}
