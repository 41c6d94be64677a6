#include "exitstatus.h"
#include "sonardump.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fputs("Usage: Sondump <input log, .zip or .stk> <output text file>\n", stderr);
        return sondump::UsageError;
    }
    std::string message;
    const int status = sondump::SonarDump::run(argv[1], argv[2], message);
    if (status != sondump::Success)
        std::fprintf(stderr, "Sondump: %s: %s\n", argv[1], message.c_str());
    return status;
}
