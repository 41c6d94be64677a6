#include "commandline.h"

#include <cstring>
#include <sstream>

CommandLine CommandLine::parse(int argc, const char *const *argv)
{
    CommandLine result;
    const int count = argc - 1;
    if (count == 2) {
        result.source = argv[1];
        result.destination = argv[2];
        result.valid = true;
    } else if (count == 4 && std::strcmp(argv[3], "-minNPoint") == 0) {
        // Stream extraction: leading blanks skipped, trailing text ignored.
        std::istringstream number(argv[4]);
        int32_t minimum = 0;
        if (number >> minimum) {
            result.source = argv[1];
            result.destination = argv[2];
            result.minNPoint = minimum;
            result.valid = true;
        }
    } else if (count == 3 && std::strcmp(argv[1], "-csv") == 0) {
        result.csvMode = true;
        result.source = argv[2];
        result.destination = argv[3];
        result.valid = true;
    }
    // An empty folder text would put the output at the file system root.
    if (result.destination.empty())
        result.valid = false;
    return result;
}

void CommandLine::printUsage(FILE *out)
{
    std::fprintf(out, "Sondrak.exe v%d.%d.%d\n", 1, 3, 0);
    std::fputs("Usage: \n", out);
    std::fputs("- to convert a .slg file to a .stk zipped file: \n", out);
    std::fputs("   Sondrak <SourceFile.slg> <DestinationPath> [-minNPoint <MinimumNumberOfPoints>]\n", out);
    std::fputs("- to convert a .stk file to a .csv file: \n", out);
    std::fputs("   Sondrak -csv <SourceFile.stk> <DestinationPath> \n", out);
    std::fputs("\n", out);
}
