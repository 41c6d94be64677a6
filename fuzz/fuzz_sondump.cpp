// Sondump's decoders: .slg and .sl2 logs, Sondrak's .stk tracks and their
// zips, told apart by their first bytes.
#include "dumpwriter.h"
#include "sonardump.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FILE *const sink = std::fopen("/dev/null", "w");
    sondump::DumpWriter out(sink);
    std::string message;
    sondump::SonarDump::dump(data, size, out, message);
    return 0;
}
