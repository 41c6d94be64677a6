#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Operating-system services of the converter. Everything else in the
// converter is portable; each platform has one implementation file
// (platform_posix.cpp, and platform_win.cpp where Windows is built).
class Platform
{
public:
    // Path of the running executable; empty when it cannot be found.
    static std::string modulePath();
    // Suffix of executable files (".exe" on Windows, empty elsewhere).
    static std::string executableSuffix();

    // The system temporary folder as an absolute path ending in a separator.
    static bool tempFolder(std::string &folder);
    // Creates a new folder only this user can enter inside parent; folder ends
    // in a separator.
    static bool createPrivateFolder(const std::string &parent, std::string &folder);
    // Removes an empty folder.
    static bool removeFolder(const std::string &folder);
    // Creates a new, empty file with a unique name inside folder.
    static bool createUniqueFile(const std::string &folder, std::string &path);

    // Starts program without a console window or inherited output, with the
    // arguments passed as they are (no shell, no quoting), and waits for it
    // without a time limit. False only when it could not be started; the
    // exit status is not judged here.
    static bool runHiddenAndWait(const std::string &program, const std::vector<std::string> &arguments);

    // Absolute, normalised form of path (not resolving links).
    static bool fullPath(const std::string &path, std::string &full);
    static bool isAbsolutePath(const std::string &path);
    // True when both paths exist and name one file (the same text, a link
    // to it, or another path to it).
    static bool sameFile(const std::string &a, const std::string &b);
    // Size of a readable regular file.
    static bool fileSize(const std::string &path, uint64_t &size);
    // Creation time (last-write time where the file system keeps none) and
    // last-write time of a readable file, as FILETIMEs of local time.
    static bool fileTimes(const std::string &path, uint64_t &creationLocal, uint64_t &lastWriteLocal);
    // "Version made by" and external attributes of a zip entry for the file.
    static bool zipAttributes(const std::string &path, uint16_t &versionMadeBy, uint32_t &externalAttributes);

    // Renames, replacing any file at to.
    static bool renameReplace(const std::string &from, const std::string &to);
    // Plain deletion; failures are the caller's to ignore.
    static bool deleteFile(const std::string &path);

    // The debugger output channel: silent unless SONDRAK_DEBUG=1, then stderr.
    static void debugOutput(const std::string &text);
};
