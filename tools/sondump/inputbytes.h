#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sondump {

// The whole input file in memory, so that the decoders can look ahead and
// back while they resynchronise: mapped when it is a regular file, read
// otherwise (a pipe, a device).
class InputBytes
{
public:
    InputBytes() = default;
    ~InputBytes();

    InputBytes(const InputBytes &) = delete;
    InputBytes &operator=(const InputBytes &) = delete;

    // False, with the system's reason in message, when path cannot be read.
    bool open(const std::string &path, std::string &message);

    const unsigned char *data() const;
    std::size_t size() const;

private:
    void *mMapped = nullptr;
    std::size_t mMappedSize = 0;
    std::vector<unsigned char> mRead;
};

} // namespace sondump
