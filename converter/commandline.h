#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Sondrak's command line: a log and a destination folder, optionally
// followed by "-minNPoint" and a number, or "-csv", a .stk file and a folder.
// An empty destination matches no form.
struct CommandLine
{
    bool valid = false;
    std::string source;
    std::string destination;
    bool csvMode = false;
    int32_t minNPoint = 100;

    static CommandLine parse(int argc, const char *const *argv);
    static void printUsage(FILE *out);
};
