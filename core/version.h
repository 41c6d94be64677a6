#pragma once

// The program's version: shown in the window title, and as a number sent
// to the store and compared with the update file.
namespace Version {
constexpr const char *text = "1.5.1";
constexpr int number = 151;
} // namespace Version
