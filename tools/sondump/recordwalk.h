#pragma once

#include "dumpwriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace sondump {

// A log whose records follow one another in a byte buffer, as walkRecords
// needs to see it.
class RecordLayout
{
public:
    enum class Outcome { Decoded, End, Damaged };

    virtual ~RecordLayout() = default;

    // "record" or "frame", for messages.
    virtual const char *recordName() const = 0;
    // The record starting at offset: Decoded with its row and length; End
    // when no whole record starts there (the end of the data, or a last
    // record cut short); Damaged, with the reason, when its fields do not
    // hold together.
    virtual Outcome decodeAt(std::size_t offset, DumpRow &row, std::size_t &length, std::string &reason) = 0;
    // Whether a record that decodes starts at offset, checked strictly
    // enough that stray bytes almost never pass.
    virtual bool plausibleAt(std::size_t offset) const = 0;
    // How many records the damaged bytes from..to held (at least one); at
    // the end of the data, bytes short of a whole record are a cut-off tail
    // and do not count.
    virtual uint64_t recordsBetween(std::size_t from, std::size_t to) const = 0;
    // Length of the largest record seen so far (0 before the first).
    virtual std::size_t largestRecord() const = 0;
};

// How many records of recordSize the damaged bytes held, at least one. A
// part of a record counts in the middle of the data but not at its end,
// where it is a record cut off.
uint64_t recordsInBytes(std::size_t bytes, std::size_t recordSize, bool atEnd);

// Writes a row for every record from first on. A damaged record is passed
// over: the walk resumes at the next plausible record and counts what it
// skipped in out. Damage that runs to the end ends the walk like a record
// cut short when it is no longer than one record (the last one was
// damaged) or all zero bytes (space the recorder never filled). Returns
// Success, or Undecodable with message when more than that cannot be
// decoded.
int walkRecords(const unsigned char *data, std::size_t size, std::size_t first, RecordLayout &layout,
                DumpWriter &out, std::string &message);

} // namespace sondump
