#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QCryptographicHash;
class QFile;

// Receives a download in "<destination>.tmp" and moves it over the
// destination only when the caller commits it, so that an existing file
// there stays as it was until a complete one replaces it. The sink reports
// what went wrong on the local disk; the caller decides what a failure means
// and which code it reports.
class TemporaryFileSink
{
public:
    enum class Outcome {
        Committed,
        // Opening, writing or flushing the temporary file failed.
        WriteFailed,
        // Another number of bytes arrived than the caller expected.
        WrongLength,
        // The complete file could not be moved over the destination.
        RenameFailed,
    };

    explicit TemporaryFileSink(const QString &destinationPath);
    // Removes the temporary file of an unfinished download.
    ~TemporaryFileSink();
    TemporaryFileSink(const TemporaryFileSink &) = delete;
    TemporaryFileSink &operator=(const TemporaryFileSink &) = delete;

    QString destinationPath() const { return mDestinationPath; }
    QString temporaryPath() const;

    // With true, the sink keeps the md5 of what the file holds (md5()).
    // Fed as the bytes arrive, so a finished file is never read again.
    void setHashing(bool hashing) { mHashing = hashing; }

    // Starts a file: creates or empties the temporary file (closing one still
    // open from an earlier start). False when it cannot be opened; the sink
    // then counts as started and failed until commit() or discard().
    bool open();
    // Starts with the bytes a temporary file on disk already holds, to add
    // the rest of the file to them; size() counts them, the hash does not
    // until acceptPartial(). False (started and failed) when it cannot be
    // opened.
    bool openToResume();
    // The answer continues the file: the bytes already there join the hash
    // (read once), new bytes go after them.
    bool acceptPartial();
    // The answer starts the file again: empties it.
    bool restart();
    // From open() until commit() or discard(), whether opening worked or not.
    bool isStarted() const { return mStarted; }
    // Appends to the temporary file. False when these bytes could not be
    // written; after a failure the sink takes nothing more.
    bool write(const char *data, qint64 size);
    // A local failure since open(); errorString() says which.
    bool hasFailed() const { return mFailed; }
    QString errorString() const { return mErrorString; }
    // Bytes the temporary file holds.
    qint64 size() const { return mSize; }
    // Lower-case hex md5 of the bytes the file holds (with hashing on).
    QByteArray md5() const;

    // Flushes and closes the temporary file and, when nothing failed and
    // (with an expectedLength of 0 or more) exactly that many bytes were
    // written, moves it over the destination. Any other outcome removes it.
    Outcome commit(qint64 expectedLength = -1);
    // Closes and removes the temporary file; the destination is untouched.
    void discard();
    // Closes the temporary file and leaves it on disk, for a later start
    // with openToResume().
    void keep();

private:
    bool openFile(bool resume);
    void fail(const QString &reason);

    QString mDestinationPath;
    std::unique_ptr<QFile> mFile;
    bool mStarted = false;
    bool mFailed = false;
    qint64 mSize = 0;
    QString mErrorString;
    bool mHashing = false;
    std::unique_ptr<QCryptographicHash> mHash;
};
