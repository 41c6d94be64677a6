#pragma once

#include <cstdio>
#include <string>

namespace sondump {

// Sondump: writes a Lowrance sonar log (.slg, .sl2), or a track made by
// Sondrak (.zip holding a .stk, or the .stk itself), as comma-separated
// text with one line per sounding. The kind of input is told by its first
// bytes, not by its name.
class SonarDump
{
public:
    // Decodes in (read from its start) into out. Returns an ExitStatus;
    // message says why when it is not Success.
    static int dump(FILE *in, FILE *out, std::string &message);

    // The program: input and output paths. The output is created anew even
    // when the input turns out unusable, so that it never shows an earlier
    // run's text.
    static int run(const std::string &inputPath, const std::string &outputPath, std::string &message);
};

} // namespace sondump
