#pragma once

#include <string>

// Path texts as the converter handles them: both "/" and "\" separate
// folders, on every platform (logs come from FAT cards and Windows users).
namespace PathText {

bool isSeparator(char c);

// Text after the last separator; the whole path when there is none.
std::string fileName(const std::string &path);

// A file name without everything from its last "."; unchanged without ".".
std::string withoutExtension(const std::string &name);

// folder, then "/" unless it already ends in a separator, then name.
std::string join(const std::string &folder, const std::string &name);

// Replaces the extension (from the last "." after the last separator) by
// extension unless it already matches without regard to case. A path ending
// in a separator is left alone.
std::string setExtension(const std::string &path, const std::string &extension);

} // namespace PathText
