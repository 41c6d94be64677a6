#pragma once

#include <QString>

// An exclusive lock on a file, held by one object at a time (in this process
// or another) and dropped by the system when its holder ends, however it
// ends. The file is created when missing and never removed.
class FileLock
{
public:
    explicit FileLock(const QString &path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // False when another holder has it or the lock file cannot be opened.
    bool acquire();
    void release();
    bool isAcquired() const;

    // Whether a holder other than this object has the lock at path.
    static bool isHeld(const QString &path);

    QString path() const { return mPath; }

private:
    QString mPath;
    qintptr mHandle = -1;
};
