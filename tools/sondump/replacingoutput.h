#pragma once

#include <cstdio>
#include <string>

namespace sondump {

// Writes a file through a new temporary file in the same folder, which takes
// the file's place only when committed. Otherwise the temporary file is
// removed and an earlier file of that name stays as it was.
class ReplacingOutput
{
public:
    explicit ReplacingOutput(const std::string &path);
    ~ReplacingOutput();

    ReplacingOutput(const ReplacingOutput &) = delete;
    ReplacingOutput &operator=(const ReplacingOutput &) = delete;

    // Creates the temporary file; false with the reason in message.
    bool open(std::string &message);
    FILE *stream() const { return mStream; }
    // Closes the temporary file and renames it over the path.
    bool commit(std::string &message);

private:
    std::string mPath;
    std::string mTemporaryPath;
    FILE *mStream = nullptr;
    bool mCommitted = false;
};

} // namespace sondump
