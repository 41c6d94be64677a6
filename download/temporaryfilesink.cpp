#include "temporaryfilesink.h"

#include <QFile>

TemporaryFileSink::TemporaryFileSink(const QString &destinationPath)
    : mDestinationPath(destinationPath)
{
}

TemporaryFileSink::~TemporaryFileSink()
{
    if (mStarted)
        discard();
}

QString TemporaryFileSink::temporaryPath() const
{
    return mDestinationPath + QStringLiteral(".tmp");
}

bool TemporaryFileSink::open()
{
    if (!mFile)
        mFile = std::make_unique<QFile>(temporaryPath());
    if (mFile->isOpen())
        mFile->close();
    mStarted = true;
    mFailed = false;
    mErrorString.clear();
    mSize = 0;
    // Unbuffered: the bytes come in large blocks already, and what has
    // arrived is on disk rather than in a second buffer.
    if (!mFile->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        fail(mFile->errorString());
        return false;
    }
    return true;
}

bool TemporaryFileSink::write(const char *data, qint64 size)
{
    if (!mStarted || mFailed)
        return false;
    if (mFile->write(data, size) != size) {
        fail(mFile->errorString());
        return false;
    }
    mSize += size;
    return true;
}

TemporaryFileSink::Outcome TemporaryFileSink::commit(qint64 expectedLength)
{
    if (!mStarted)
        return Outcome::WriteFailed;
    if (mFile->isOpen() && !mFile->flush())
        fail(mFile->errorString());
    mFile->close();

    Outcome outcome = Outcome::Committed;
    if (mFailed) {
        outcome = Outcome::WriteFailed;
    } else if (expectedLength >= 0 && mSize != expectedLength) {
        outcome = Outcome::WrongLength;
    } else {
        // QFile::rename never replaces a file.
        if (QFile::exists(mDestinationPath))
            QFile::remove(mDestinationPath);
        if (!mFile->rename(mDestinationPath)) {
            fail(mFile->errorString());
            outcome = Outcome::RenameFailed;
        }
    }
    if (outcome != Outcome::Committed)
        mFile->remove();
    // After a rename the file object names the destination; the next
    // open() starts from a fresh temporary file.
    mFile.reset();
    mStarted = false;
    return outcome;
}

void TemporaryFileSink::discard()
{
    if (mFile) {
        mFile->close();
        mFile->remove();
        mFile.reset();
    }
    mStarted = false;
}

void TemporaryFileSink::fail(const QString &reason)
{
    mFailed = true;
    mErrorString = reason;
}
