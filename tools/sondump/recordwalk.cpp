#include "recordwalk.h"

#include "exitstatus.h"

#include <algorithm>

namespace sondump {

uint64_t recordsInBytes(std::size_t bytes, std::size_t recordSize, bool atEnd)
{
    if (recordSize == 0)
        return 1;
    const uint64_t records = atEnd ? bytes / recordSize : (bytes + recordSize - 1) / recordSize;
    return std::max<uint64_t>(1, records);
}

int walkRecords(const unsigned char *data, std::size_t size, std::size_t first, RecordLayout &layout,
                DumpWriter &out, std::string &message)
{
    std::size_t offset = first;
    // Where the next search may start: past the last record read or
    // resumed at. The record before a damaged one may have been cut short,
    // so the next record can begin inside it.
    std::size_t searchFrom = first + 1;
    uint64_t index = 0;
    DumpRow row;
    for (;;) {
        std::size_t length = 0;
        std::string reason;
        switch (layout.decodeAt(offset, row, length, reason)) {
        case RecordLayout::Outcome::End:
            return Success;
        case RecordLayout::Outcome::Decoded:
            out.write(row);
            searchFrom = offset + 1;
            offset += length;
            ++index;
            continue;
        case RecordLayout::Outcome::Damaged:
            break;
        }

        std::size_t next = searchFrom;
        while (next < size && !layout.plausibleAt(next))
            ++next;
        if (next >= size) {
            const bool lastRecordDamaged = size - offset < 2 * layout.largestRecord();
            const bool neverWritten =
                std::all_of(data + offset, data + size, [](unsigned char byte) { return byte == 0; });
            if (!lastRecordDamaged && !neverWritten) {
                const std::string name = layout.recordName();
                message = name + " " + std::to_string(index) + " at offset " + std::to_string(offset) + ": " + reason
                    + "; no " + name + " can be found after it";
                return Undecodable;
            }
            next = size;
        }
        if (next > offset) {
            const uint64_t records = layout.recordsBetween(offset, next);
            out.noteSkipped(records, next - offset);
            index += records;
        }
        if (next == size)
            return Success;
        offset = next;
        searchFrom = next + 1;
    }
}

} // namespace sondump
