// The upload history "history.xml": read at the start of every sonar step,
// from a file that a crash, a full disk or another program may have damaged.
#include "quietqt.h"
#include "uploadhistory.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>

#include <cstddef>
#include <cstdint>

static QuietQtMessages quiet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QDomDocument document;
    if (parseUploadHistory(content, document)) {
        const QString first = document.documentElement().firstChildElement().tagName();
        historyHoldsTrack(document, first);
        historyHoldsTrack(document, QStringLiteral("TR_log.slg_2012-05-06T07:08:09_1234"));
    }
    return 0;
}
