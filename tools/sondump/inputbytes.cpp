#include "inputbytes.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sondump {

namespace {

bool readAll(int fd, std::vector<unsigned char> &bytes)
{
    unsigned char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

} // namespace

InputBytes::~InputBytes()
{
    if (mMapped)
        ::munmap(mMapped, mMappedSize);
}

bool InputBytes::open(const std::string &path, std::string &message)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        message = std::strerror(errno);
        return false;
    }
    struct stat info;
    const int statError = ::fstat(fd, &info) != 0 ? errno : (S_ISDIR(info.st_mode) ? EISDIR : 0);
    if (statError != 0) {
        message = std::strerror(statError);
        ::close(fd);
        return false;
    }
    bool ok = true;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        void *mapped = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            ::madvise(mapped, static_cast<std::size_t>(info.st_size), MADV_SEQUENTIAL);
            mMapped = mapped;
            mMappedSize = static_cast<std::size_t>(info.st_size);
        } else {
            ok = readAll(fd, mRead);
        }
    } else if (!S_ISREG(info.st_mode)) {
        ok = readAll(fd, mRead);
    }
    if (!ok)
        message = std::strerror(errno);
    ::close(fd);
    return ok;
}

const unsigned char *InputBytes::data() const
{
    return mMapped ? static_cast<const unsigned char *>(mMapped) : mRead.data();
}

std::size_t InputBytes::size() const
{
    return mMapped ? mMappedSize : mRead.size();
}

} // namespace sondump
