// Plays Sondump for the benchmark: copies the prepared dump named by
// BENCH_DUMP to its second argument, so that only the conversion is timed.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

int main(int argc, char **argv)
{
    const char *dump = std::getenv("BENCH_DUMP");
    if (argc != 3 || !dump)
        return 1;
    std::error_code error;
    std::filesystem::copy_file(dump, argv[2], std::filesystem::copy_options::overwrite_existing, error);
    return error ? 2 : 0;
}
