#pragma once

#include <QString>

// A small tmpfs mounted for the lifetime of the object, for tests that need a
// real volume (a full card, a write-protected card). Only works where the
// test may mount (root with the capability); callers skip otherwise.
class TmpfsMount
{
public:
    TmpfsMount(const QString &mountPoint, qint64 sizeBytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount &) = delete;
    TmpfsMount &operator=(const TmpfsMount &) = delete;

    bool isMounted() const { return mMounted; }
    QString mountPoint() const { return mMountPoint; }
    bool remountReadOnly();
    // Unmounts before the end of the object's life (as a card pulled out);
    // safe to call from any thread.
    bool unmount();

private:
    QString mMountPoint;
    bool mMounted = false;
};
