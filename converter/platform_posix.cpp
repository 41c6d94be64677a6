#include "platform.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

// Seconds and nanoseconds since 1970 (UTC) as a FILETIME of the local
// calendar time at that moment, the way Windows hands local file times out.
uint64_t localFileTime(int64_t seconds, uint32_t nanoseconds)
{
    const time_t moment = static_cast<time_t>(seconds);
    struct tm local;
    long offset = 0;
    if (localtime_r(&moment, &local))
        offset = local.tm_gmtoff;
    const int64_t localSeconds = seconds + offset + kSecondsFrom1601To1970;
    if (localSeconds < 0)
        return 0;
    return static_cast<uint64_t>(localSeconds) * 10000000ULL + nanoseconds / 100;
}

bool debugEnabled()
{
    static const bool enabled = [] {
        const char *value = std::getenv("SONDRAK_DEBUG");
        return value && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

int openForReading(const std::string &path)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Lexical clean-up like GetFullPathName: "." and empty parts go, ".." drops
// the part before it (never above the root). A trailing separator is kept.
std::string normalise(const std::string &absolute)
{
    std::vector<std::string> parts;
    std::string::size_type start = 1;
    while (start <= absolute.size()) {
        std::string::size_type end = absolute.find('/', start);
        if (end == std::string::npos)
            end = absolute.size();
        const std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string &part : parts)
        result += "/" + part;
    if (result.empty() || (absolute.back() == '/' && absolute.size() > 1))
        result += "/";
    return result;
}

} // namespace

std::string Platform::modulePath()
{
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return std::string();
        if (static_cast<size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(length));
        buffer.resize(buffer.size() * 2);
    }
}

std::string Platform::executableSuffix()
{
    return std::string();
}

bool Platform::tempFolder(std::string &folder)
{
    const char *fromEnvironment = std::getenv("TMPDIR");
    const std::string base = fromEnvironment && *fromEnvironment ? fromEnvironment : P_tmpdir;
    std::string full;
    if (!fullPath(base, full))
        return false;
    if (full.back() != '/')
        full += '/';
    folder = full;
    return true;
}

bool Platform::createPrivateFolder(const std::string &parent, std::string &folder)
{
    std::string pattern = parent;
    if (pattern.empty() || pattern.back() != '/')
        pattern += '/';
    pattern += "Sondrak-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data()))
        return false;
    folder = std::string(name.data()) + "/";
    return true;
}

bool Platform::removeFolder(const std::string &folder)
{
    return ::rmdir(folder.c_str()) == 0;
}

bool Platform::createUniqueFile(const std::string &folder, std::string &path)
{
    std::string pattern = folder;
    if (pattern.empty() || pattern.back() != '/')
        pattern += '/';
    pattern += "XXXXXX.tmp";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemps(name.data(), 4, O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    path = name.data();
    return true;
}

bool Platform::runHiddenAndWait(const std::string &program, const std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    // "Hidden": no console input or output of the tool reaches the user;
    // its error output shows only when debugging.
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (!debugEnabled())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    pid_t child = 0;
    const int spawnError = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        debugOutput("cannot start " + program + ": " + std::strerror(spawnError) + "\n");
        return false;
    }

    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == child && WIFEXITED(status))
        debugOutput(program + " exited with " + std::to_string(WEXITSTATUS(status)) + "\n");
    else if (waited == child && WIFSIGNALED(status))
        debugOutput(program + " ended by signal " + std::to_string(WTERMSIG(status)) + "\n");
    return true;
}

bool Platform::fullPath(const std::string &path, std::string &full)
{
    if (path.empty())
        return false;
    if (isAbsolutePath(path)) {
        full = normalise(path);
        return true;
    }
    std::vector<char> buffer(PATH_MAX);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return false;
        buffer.resize(buffer.size() * 2);
    }
    full = normalise(std::string(buffer.data()) + "/" + path);
    return true;
}

bool Platform::isAbsolutePath(const std::string &path)
{
    return !path.empty() && path[0] == '/';
}

bool Platform::sameFile(const std::string &a, const std::string &b)
{
    struct stat first;
    struct stat second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev
        && first.st_ino == second.st_ino;
}

bool Platform::fileSize(const std::string &path, uint64_t &size)
{
    const int fd = openForReading(path);
    if (fd < 0)
        return false;
    struct stat info;
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (ok)
        size = static_cast<uint64_t>(info.st_size);
    return ok;
}

bool Platform::fileTimes(const std::string &path, uint64_t &creationLocal, uint64_t &lastWriteLocal)
{
    const int fd = openForReading(path);
    if (fd < 0)
        return false;
#ifdef STATX_BTIME
    struct statx extended;
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_MTIME | STATX_BTIME, &extended) == 0) {
        ::close(fd);
        lastWriteLocal = localFileTime(extended.stx_mtime.tv_sec, extended.stx_mtime.tv_nsec);
        creationLocal = (extended.stx_mask & STATX_BTIME)
            ? localFileTime(extended.stx_btime.tv_sec, extended.stx_btime.tv_nsec)
            : lastWriteLocal;
        return true;
    }
#endif
    struct stat info;
    const bool ok = ::fstat(fd, &info) == 0;
    ::close(fd);
    if (!ok)
        return false;
    lastWriteLocal = localFileTime(info.st_mtim.tv_sec, static_cast<uint32_t>(info.st_mtim.tv_nsec));
    creationLocal = lastWriteLocal;
    return true;
}

bool Platform::zipAttributes(const std::string &path, uint16_t &versionMadeBy, uint32_t &externalAttributes)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return false;
    // Made by Unix (3), zip format 2.0: unzip then restores the mode bits.
    versionMadeBy = (3 << 8) | 20;
    externalAttributes = static_cast<uint32_t>(info.st_mode & 0xFFFF) << 16;
    return true;
}

bool Platform::renameReplace(const std::string &from, const std::string &to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool Platform::deleteFile(const std::string &path)
{
    return ::unlink(path.c_str()) == 0;
}

void Platform::debugOutput(const std::string &text)
{
    if (debugEnabled())
        std::fputs(text.c_str(), stderr);
}
