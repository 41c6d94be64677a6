#include "exitstatus.h"
#include "sonardump.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fputs("Usage: Sondump <input log, .zip or .stk> <output text file>\n", stderr);
        return sondump::UsageError;
    }
    sondump::DumpReport report;
    const int status = sondump::SonarDump::run(argv[1], argv[2], report);
    if (status != sondump::Success) {
        std::fprintf(stderr, "Sondump: %s: %s\n", argv[1], report.message.c_str());
    } else if (report.skippedRecords > 0) {
        std::fprintf(stderr, "Sondump: skipped %llu damaged record%s (%llu bytes)\n",
                     static_cast<unsigned long long>(report.skippedRecords), report.skippedRecords == 1 ? "" : "s",
                     static_cast<unsigned long long>(report.skippedBytes));
    }
    return status;
}
