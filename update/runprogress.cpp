#include "runprogress.h"

void RunProgress::reset()
{
    mLastReportTime = 0;
    mBytesDownloaded = 0;
    mFilesProcessed = 0;
    mTracksConverted = 0;
    mTracksUploaded = 0;
    mCompleted = false;
}

void RunProgress::setWeights(const ProgressWeights &weights)
{
    mPerConvertedTrack = weights.perConvertedTrack;
    mPerUploadedTrack = weights.perUploadedTrack;
    mPerMegabyte = weights.perMegabyte;
    mPerFile = weights.perFile;
}

void RunProgress::clearTracks()
{
    mPerConvertedTrack = 0;
    mPerUploadedTrack = 0;
    mTracksConverted = 0;
    mTracksUploaded = 0;
}

void RunProgress::scaleUploadWeight(double factor)
{
    mPerUploadedTrack = float(mPerUploadedTrack * factor);
}

float RunProgress::percent() const
{
    if (mCompleted)
        return 100.0f;
    ProgressWeights weights;
    weights.perMegabyte = mPerMegabyte;
    weights.perFile = mPerFile;
    weights.perConvertedTrack = mPerConvertedTrack;
    weights.perUploadedTrack = mPerUploadedTrack;
    return progressPercent(weights, mTracksUploaded, mTracksConverted, mBytesDownloaded, mFilesProcessed);
}

bool RunProgress::takeReport(quint32 now)
{
    if (qint64(now) - qint64(mLastReportTime) <= ReportInterval)
        return false;
    mLastReportTime = now;
    return true;
}
