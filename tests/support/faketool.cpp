// Stand-in for an external tool in tests. What it does is picked by
// environment variables, so one program can play Sondump, Sondrak or
// Wakeform:
//   FAKE_TOOL_ARGS_FILE  write each argument on a line of its own to this file
//   FAKE_TOOL_COPY_FROM  copy this file to the second argument (a dump tool's output)
//   FAKE_TOOL_CRASH=1    die of an abort signal
//   FAKE_TOOL_EXIT       exit with this code (default 0)
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool copyFile(const char *from, const char *to)
{
    FILE *in = std::fopen(from, "rb");
    if (!in)
        return false;
    FILE *out = std::fopen(to, "wb");
    if (!out) {
        std::fclose(in);
        return false;
    }
    static char buffer[1 << 16];
    bool ok = true;
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = ok && std::fwrite(buffer, 1, got, out) == got;
    std::fclose(in);
    return std::fclose(out) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (const char *argsFile = std::getenv("FAKE_TOOL_ARGS_FILE")) {
        if (FILE *out = std::fopen(argsFile, "w")) {
            for (int i = 1; i < argc; ++i)
                std::fprintf(out, "%s\n", argv[i]);
            std::fclose(out);
        }
    }
    if (const char *source = std::getenv("FAKE_TOOL_COPY_FROM")) {
        if (argc < 3 || !copyFile(source, argv[2]))
            return 99;
    }
    if (const char *crash = std::getenv("FAKE_TOOL_CRASH"); crash && std::strcmp(crash, "1") == 0)
        std::abort();
    const char *exitCode = std::getenv("FAKE_TOOL_EXIT");
    return exitCode ? std::atoi(exitCode) : 0;
}
