// The card's chart index ("Velamari/Index.txt") and its tag ("nTag.txt"):
// both come from whatever card the user inserts.
#include "chip.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    for (const ChartIndexEntry &entry : Chip::parseIndexText(text))
        entry.isPewter();
    Chip::tagFromText(text);
    return 0;
}
