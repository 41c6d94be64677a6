#include "sondrak.h"

#include "commandline.h"
#include "platform.h"
#include "slgtostkzip.h"
#include "stktocsv.h"

#include <cstdio>

int sondrakMain(int argc, const char *const *argv)
{
    const CommandLine commandLine = CommandLine::parse(argc, argv);
    if (!commandLine.valid) {
        CommandLine::printUsage(stdout);
        return 1;
    }

    std::string tempFolder;
    if (!Platform::tempFolder(tempFolder))
        return 100;

    if (commandLine.csvMode) {
        CStkToCsv exporter;
        return exporter.Convert(commandLine.source, commandLine.destination) == 0 ? 0 : 100;
    }

    // The shared temporary folder is open to everyone; names derived from
    // the log must not be predictable there, so this run works in a folder
    // of its own.
    std::string workFolder;
    if (!Platform::createPrivateFolder(tempFolder, workFolder))
        return 100;
    CSlgToStkzip converter(workFolder);
    const int result = converter.Convert(commandLine.source, commandLine.destination, commandLine.minNPoint);
    Platform::removeFolder(workFolder);

    switch (result) {
    case 0:
        return 0;
    case 11:
        return 2;
    default:
        return 100;
    }
}
