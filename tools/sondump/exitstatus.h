#pragma once

namespace sondump {

// Exit statuses of Sondump.
enum ExitStatus {
    Success = 0,
    UsageError = 1,
    // The input cannot be read or the output cannot be written.
    FileError = 2,
    // The input is not a log or track this tool knows.
    UnknownFormat = 3,
    // Part of the input cannot be decoded; everything before it was written.
    Undecodable = 4,
};

} // namespace sondump
