#include "pathtext.h"

#include <cctype>

namespace PathText {

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

namespace {

std::string::size_type lastSeparator(const std::string &path)
{
    return path.find_last_of("/\\");
}

bool equalIgnoringCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (std::string::size_type i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

std::string fileName(const std::string &path)
{
    const std::string::size_type separator = lastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string withoutExtension(const std::string &name)
{
    const std::string::size_type dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string join(const std::string &folder, const std::string &name)
{
    if (!folder.empty() && isSeparator(folder.back()))
        return folder + name;
    return folder + "/" + name;
}

std::string setExtension(const std::string &path, const std::string &extension)
{
    if (!path.empty() && isSeparator(path.back()))
        return path;
    const std::string::size_type separator = lastSeparator(path);
    const std::string::size_type dot = path.rfind('.');
    const bool hasExtension = dot != std::string::npos && (separator == std::string::npos || dot > separator);
    const std::string stem = hasExtension ? path.substr(0, dot) : path;
    const std::string current = hasExtension ? path.substr(dot) : std::string();
    return equalIgnoringCase(current, extension) ? path : stem + extension;
}

} // namespace PathText
