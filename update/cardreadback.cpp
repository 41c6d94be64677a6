#include "cardreadback.h"

#include "environment.h"

#include <QByteArray>
#include <QDebug>
#include <QFile>

#include <cstring>
#include <future>

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
    // The card is the slow side: its next piece is read on a thread of its
    // own while this one reads the source and compares.
    auto readCard = [&kept, chunk] {
        QByteArray piece(int(chunk), Qt::Uninitialized);
        qint64 have = 0;
        while (have < chunk) {
            const qint64 more = kept.read(piece.data() + have, chunk - have);
            if (more < 0)
                return QByteArray();
            if (more == 0)
                break;
            have += more;
        }
        piece.truncate(int(have));
        return piece;
    };
    QByteArray mine(int(chunk), Qt::Uninitialized);
    std::future<QByteArray> next = std::async(std::launch::async, readCard);
    for (;;) {
        const QByteArray theirs = next.get();
        const bool more = theirs.size() == chunk;
        if (more)
            next = std::async(std::launch::async, readCard);
        qint64 got = 0;
        while (got < theirs.size()) {
            const qint64 step = written.read(mine.data() + got, theirs.size() - got);
            if (step <= 0)
                break;
            got += step;
        }
        const bool same = got == theirs.size() && std::memcmp(mine.constData(), theirs.constData(), size_t(got)) == 0;
        if (same)
            mBytesCompared += got;
        if (!same || !more) {
            if (more)
                next.wait();
            // Equal sizes and equal pieces up to the card's end: the source ends there too.
            return same && written.atEnd();
        }
    }
}
