#pragma once

#include "dumprow.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace sondump {

// Writes the dump text: the 27-column header line, then one line per row.
// Reals are written in their shortest exact form, flags as T or F.
class DumpWriter
{
public:
    explicit DumpWriter(FILE *out);
    ~DumpWriter();

    DumpWriter(const DumpWriter &) = delete;
    DumpWriter &operator=(const DumpWriter &) = delete;

    void writeHeader();
    void write(const DumpRow &row);
    // Hands everything buffered to the stream; false when any write failed.
    bool flush();

    // Damaged records that the decoder passed over, and their bytes.
    void noteSkipped(uint64_t records, uint64_t bytes);

    uint64_t rowCount() const { return mRowCount; }
    uint64_t skippedRecords() const { return mSkippedRecords; }
    uint64_t skippedBytes() const { return mSkippedBytes; }
    bool failed() const { return mFailed; }

private:
    void append(const char *text, std::size_t length);
    void appendFlag(bool flag);
    void appendReal(float value);
    void appendInteger(int64_t value);

    FILE *mOut;
    std::vector<char> mBuffer;
    std::size_t mUsed = 0;
    uint64_t mRowCount = 0;
    uint64_t mSkippedRecords = 0;
    uint64_t mSkippedBytes = 0;
    bool mFailed = false;
};

} // namespace sondump
