#include "replacingoutput.h"

#include "platform.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace sondump {

namespace {

std::string folderOf(const std::string &path)
{
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string failure(const std::string &path)
{
    return path + ": " + std::strerror(errno);
}

} // namespace

ReplacingOutput::ReplacingOutput(const std::string &path)
    : mPath(path)
{
}

ReplacingOutput::~ReplacingOutput()
{
    if (mStream)
        std::fclose(mStream);
    if (!mCommitted && !mTemporaryPath.empty())
        Platform::deleteFile(mTemporaryPath);
}

bool ReplacingOutput::open(std::string &message)
{
    if (!Platform::createUniqueFile(folderOf(mPath), mTemporaryPath)) {
        message = failure(mPath);
        return false;
    }
    mStream = std::fopen(mTemporaryPath.c_str(), "wb");
    if (!mStream) {
        message = failure(mPath);
        return false;
    }
    // The unique file is private to its owner; the output gets the mode a
    // newly created file would have.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fileno(mStream), 0666 & ~mask);
    return true;
}

bool ReplacingOutput::commit(std::string &message)
{
    const bool closed = std::fclose(mStream) == 0;
    mStream = nullptr;
    if (!closed) {
        message = "cannot write the output";
        return false;
    }
    if (!Platform::renameReplace(mTemporaryPath, mPath)) {
        message = failure(mPath);
        return false;
    }
    mCommitted = true;
    return true;
}

} // namespace sondump
