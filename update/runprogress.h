#pragma once

#include "progressweights.h"

#include <atomic>

// The progress figure of one card update. The run's thread counts the work
// while the download actions' slots read and report it in the main thread,
// so every figure is atomic; one read while the other thread writes may be
// a moment stale, never harmful.
class RunProgress
{
public:
    // Seconds that must be exceeded between two throttled reports.
    static constexpr int ReportInterval = 3;

    // Nothing done, nothing weighed, the next report let through.
    void reset();
    void setWeights(const ProgressWeights &weights);
    // The tracks neither weigh nor count.
    void clearTracks();
    // Multiplies the weight of one uploaded track (the files sent are not
    // always as many as the tracks weighed).
    void scaleUploadWeight(double factor);

    void addBytes(qint64 bytes) { mBytesDownloaded += bytes; }
    void addFile() { ++mFilesProcessed; }
    void addConvertedTrack() { ++mTracksConverted; }
    void addUploadedTrack() { ++mTracksUploaded; }
    // From now on the figure is 100.
    void complete() { mCompleted = true; }

    qint64 bytesDownloaded() const { return mBytesDownloaded; }
    float percent() const;

    // The next throttled report goes through at once.
    void allowReport() { mLastReportTime = 0; }
    // Whether a throttled report is due at now (seconds since 1970); a due
    // report counts as made.
    bool takeReport(quint32 now);

private:
    std::atomic<qint64> mBytesDownloaded { 0 };
    std::atomic<int> mFilesProcessed { 0 };
    std::atomic<int> mTracksConverted { 0 };
    std::atomic<int> mTracksUploaded { 0 };
    std::atomic<float> mPerMegabyte { 0 };
    std::atomic<float> mPerFile { 0 };
    std::atomic<float> mPerConvertedTrack { 0 };
    std::atomic<float> mPerUploadedTrack { 0 };
    std::atomic<bool> mCompleted { false };
    std::atomic<quint32> mLastReportTime { 0 };
};
