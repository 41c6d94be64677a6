// "update.ini" beside the program, which the auto-updater also writes.
#include "updatechecker.h"

#include <QByteArray>
#include <QString>

#include <climits>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    int versionId = INT_MAX;
    QString url;
    UpdateChecker::parseUpdateIni(text, versionId, url);
    return 0;
}
