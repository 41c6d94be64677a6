// The store's manifest as a card update reads it from the page or the
// server, and the plan worked out from its entries before any download.
#include "fileobject.h"
#include "manifestreader.h"
#include "manifest.h"
#include "quietqt.h"
#include "updateplan.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

static QuietQtMessages quiet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    ManifestReader reader([](VelDownloadAction *) {}, [] { return true; }, 0);
    QList<FileObject *> list;
    if (reader.readText(text, list) == ManifestReader::Result::Read && unsafeManifestReason(list).isEmpty()) {
        for (const quint32 clusterSize : { 0u, 1u, 4096u, 65536u }) {
            planUpdate(list, true, false, clusterSize);
            planUpdate(list, false, true, clusterSize);
        }
    }
    qDeleteAll(list);
    return 0;
}
