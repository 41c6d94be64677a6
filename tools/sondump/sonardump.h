#pragma once

#include "dumpwriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace sondump {

// What a run of Sondump has to report besides its exit status.
struct DumpReport
{
    // Why, when the status is not Success.
    std::string message;
    // Damaged records that were passed over, and their bytes.
    uint64_t skippedRecords = 0;
    uint64_t skippedBytes = 0;
};

// Sondump: writes a Lowrance sonar log (.slg, .sl2), or a track made by
// Sondrak (.zip holding a .stk, or the .stk itself), as comma-separated
// text with one line per sounding. The kind of input is told by its first
// bytes, not by its name.
class SonarDump
{
public:
    // Decodes the input held in data into out and flushes it. Returns an
    // ExitStatus; message says why when it is not Success.
    static int dump(const unsigned char *data, std::size_t size, DumpWriter &out, std::string &message);

    // The program: input and output paths. The input is read before the
    // output is touched, and the text goes through a temporary file that
    // replaces the output only when the whole run succeeded; on any failure
    // an existing output stays as it was.
    static int run(const std::string &inputPath, const std::string &outputPath, DumpReport &report);
};

} // namespace sondump
