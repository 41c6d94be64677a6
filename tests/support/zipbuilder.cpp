#include "zipbuilder.h"

#include <QDir>
#include <QFileInfo>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

namespace ZipBuilder {

bool write(const QString &archivePath, const Entries &entries)
{
    QDir().mkpath(QFileInfo(archivePath).absolutePath());
    QuaZip zip(archivePath);
    zip.setUtf8Enabled(true);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (const auto &entry : entries) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(entry.first)))
            return false;
        if (file.write(entry.second) != entry.second.size())
            return false;
        file.close();
        if (file.getZipError() != 0)
            return false;
    }
    zip.close();
    return zip.getZipError() == 0;
}

} // namespace ZipBuilder
