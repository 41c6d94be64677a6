#include "httpexchange.h"

#include "httpbody.h"
#include "httpconnection.h"
#include "httpserver.h"

namespace {
constexpr qint64 kChunkSize = 256 * 1024;
}

HttpExchange::HttpExchange(HttpServer &server, const HttpAnswer &answer, HttpConnection &connection)
    : mServer(server)
    , mAnswer(answer)
    , mConnection(connection)
{
}

bool HttpExchange::sendPiece(httplib::DataSink &sink)
{
    const HttpFaults &faults = mAnswer.faults;
    if (mConnection.isCut())
        return false;
    if (faults.closes() && mSent >= faults.closeAfterBytes) {
        mServerClosed = true;
        return false;
    }
    if (faults.stalls() && !mStallDone && mSent >= faults.stallAfterBytes) {
        mStallDone = true;
        // The library asks again for the piece after the stall.
        return pause(faults.stallMs);
    }

    if (faults.limitsRate()) {
        if (!mClock.isValid())
            mClock.start();
        // Ahead of the line's pace: wait until the bytes sent are due.
        const qint64 due = mSent * 1000 / faults.bytesPerSecond;
        if (due > mClock.elapsed())
            return pause(int(due - mClock.elapsed()));
    }

    qint64 limit = qMin(kChunkSize, mAnswer.bodyLength - mSent);
    if (faults.limitsRate())
        limit = qMin(limit, qMax<qint64>(1, faults.bytesPerSecond / 100));
    if (faults.closes())
        limit = qMin(limit, faults.closeAfterBytes - mSent);
    if (faults.stalls() && !mStallDone)
        limit = qMin(limit, faults.stallAfterBytes - mSent);
    if (faults.trickles())
        limit = qMin<qint64>(limit, faults.trickleBytes);

    if (mChunk.size() < limit)
        mChunk.resize(int(limit));
    const qint64 count = mAnswer.response.body()->read(mChunk.data(), limit);
    if (count <= 0) {
        // A body that falls short of its announced size can only end with
        // the connection.
        mServerClosed = true;
        return false;
    }
    const qint64 sent = mSent + count;
    const bool last = sent == mAnswer.bodyLength;
    const bool pauses = faults.trickles() || (faults.stalls() && sent == faults.stallAfterBytes);
    // Recorded before the client can have the bytes, so that what it sees
    // is already in the record; finish() corrects a failed write.
    if (last || pauses)
        record(sent, last);
    if (!sink.write(mChunk.constData(), size_t(count)))
        return false;
    mSent = sent;
    mCompleted = last;
    if (!last && faults.trickles())
        return pause(faults.trickleMs);
    return true;
}

void HttpExchange::sendsNoBody()
{
    mBodiless = true;
    record(0, true);
}

void HttpExchange::finish(bool ok, bool cut)
{
    if (!mAnswer.recorded)
        return;
    const bool completed = mCompleted || (mBodiless && ok);
    const bool serverClosed = !completed && (mServerClosed || cut);
    const qint64 sent = mSent;
    const quint64 order = mFinishedOrder;
    mServer.updateRecord(mAnswer.recordId, [=](RecordedRequest &record) {
        record.bodyBytesSent = sent;
        record.completed = completed;
        record.finishedOrder = completed ? order : 0;
        record.serverClosed = serverClosed;
        record.clientClosed = !completed && !serverClosed;
    });
}

bool HttpExchange::pause(int milliseconds)
{
    return mConnection.stream().stayOpenFor(milliseconds) && !mConnection.isCut();
}

void HttpExchange::record(qint64 sent, bool completed)
{
    if (!mAnswer.recorded)
        return;
    if (completed)
        mFinishedOrder = mServer.nextEventOrder();
    const quint64 order = mFinishedOrder;
    mServer.updateRecord(mAnswer.recordId, [=](RecordedRequest &record) {
        record.bodyBytesSent = sent;
        if (completed) {
            record.completed = true;
            record.finishedOrder = order;
        }
    });
}
