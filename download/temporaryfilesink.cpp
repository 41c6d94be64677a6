#include "temporaryfilesink.h"

#include <QCryptographicHash>
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
    return openFile(false);
}

bool TemporaryFileSink::openToResume()
{
    return openFile(true);
}

bool TemporaryFileSink::openFile(bool resume)
{
    if (!mFile)
        mFile = std::make_unique<QFile>(temporaryPath());
    if (mFile->isOpen())
        mFile->close();
    mStarted = true;
    mFailed = false;
    mErrorString.clear();
    mSize = 0;
    mHash.reset(mHashing ? new QCryptographicHash(QCryptographicHash::Md5) : nullptr);
    // Unbuffered: the bytes come in large blocks already, and what has
    // arrived is on disk rather than in a second buffer.
    const QIODevice::OpenMode mode =
        resume ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!mFile->open(mode | QIODevice::Unbuffered)) {
        fail(mFile->errorString());
        return false;
    }
    if (resume)
        mSize = mFile->size();
    return true;
}

bool TemporaryFileSink::acceptPartial()
{
    if (!mStarted || mFailed)
        return false;
    if (!mHash)
        return true;
    QFile existing(temporaryPath());
    if (!existing.open(QIODevice::ReadOnly)) {
        fail(existing.errorString());
        return false;
    }
    // Only what the sink counted: the file cannot have grown meanwhile.
    QByteArray block(256 * 1024, Qt::Uninitialized);
    qint64 left = mSize;
    while (left > 0) {
        const qint64 count = existing.read(block.data(), qMin<qint64>(left, block.size()));
        if (count <= 0) {
            fail(existing.errorString());
            return false;
        }
        mHash->addData(block.constData(), int(count));
        left -= count;
    }
    return true;
}

bool TemporaryFileSink::restart()
{
    if (!mStarted || mFailed)
        return false;
    if (!mFile->resize(0)) {
        fail(mFile->errorString());
        return false;
    }
    mSize = 0;
    if (mHash)
        mHash->reset();
    return true;
}

QByteArray TemporaryFileSink::md5() const
{
    return mHash ? mHash->result().toHex() : QByteArray();
}

bool TemporaryFileSink::write(const char *data, qint64 size)
{
    if (!mStarted || mFailed)
        return false;
    if (mFile->write(data, size) != size) {
        fail(mFile->errorString());
        return false;
    }
    if (mHash)
        mHash->addData(data, int(size));
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

void TemporaryFileSink::keep()
{
    if (mFile) {
        mFile->close();
        mFile.reset();
    }
    mStarted = false;
}

void TemporaryFileSink::fail(const QString &reason)
{
    mFailed = true;
    mErrorString = reason;
}
