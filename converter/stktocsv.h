#pragma once

#include <string>

// Exports a .stk file as readable text (the converter's -csv mode): a head
// describing the source log, then one line per point with depths in metres.
class CStkToCsv
{
public:
    CStkToCsv();
    virtual ~CStkToCsv();

    // Writes <destination>/<source name>.csv. 0 on success; 10 when the
    // source is not a valid .stk file, the output would be the source
    // itself, or the output cannot be written; or the point read result that
    // stopped the export. Nothing is left behind on failure.
    int Convert(const std::string &sourcePath, const std::string &destinationFolder);
};
