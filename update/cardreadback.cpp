#include "cardreadback.h"

#include "environment.h"

#include <QByteArray>
#include <QDebug>
#include <QFile>

#include <cstring>

bool CardReadBack::verify(const QList<Installation::CopiedFile> &files)
{
    mFirstMismatch.clear();
    mBytesCompared = 0;
    for (const Installation::CopiedFile &file : files) {
        if (sameContent(file.source, file.target))
            continue;
        mFirstMismatch = file.target;
        qDebug() << "*** The card did not keep what was written: " << file.target;
        return false;
    }
    return true;
}

bool CardReadBack::sameContent(const QString &source, const QString &target)
{
    // Without the cache dropped the comparison would read the system's
    // memory, not the card.
    if (!Environment::instance()->dropCachedFile(target)) {
        qDebug() << "*** Cannot read past the cache: " << target;
        return false;
    }
    QFile written(source);
    QFile kept(target);
    if (!written.open(QIODevice::ReadOnly) || !kept.open(QIODevice::ReadOnly))
        return false;
    if (written.size() != kept.size())
        return false;
    const qint64 chunk = 4 * 1024 * 1024;
    QByteArray a(int(chunk), Qt::Uninitialized);
    QByteArray b(int(chunk), Qt::Uninitialized);
    for (;;) {
        const qint64 got = written.read(a.data(), chunk);
        if (got < 0)
            return false;
        qint64 have = 0;
        while (have < got) {
            const qint64 more = kept.read(b.data() + have, got - have);
            if (more <= 0)
                return false;
            have += more;
        }
        if (got == 0)
            return kept.read(b.data(), 1) == 0;
        if (std::memcmp(a.constData(), b.constData(), size_t(got)) != 0)
            return false;
        mBytesCompared += got;
    }
}
