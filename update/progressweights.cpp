#include "progressweights.h"

ProgressWeights progressWeights(qint64 totalBytes, int tracks, int files)
{
    ProgressWeights weights;
    // Megabytes as a fraction, so that a finished run adds up to 100 whatever the sizes.
    weights.megabytes = totalBytes > 0 ? double(totalBytes) / 1048576.0 : 0.0;
    weights.tracks = tracks < 1 ? 0 : tracks;
    weights.files = files < 1 ? 0 : files;
    const double total = weights.tracks * 21.5 + weights.megabytes * 8 + weights.files;
    if (weights.tracks > 0) {
        weights.perConvertedTrack = float(2000 / total);
        weights.perUploadedTrack = float(150 / total);
    }
    if (totalBytes > 0)
        weights.perMegabyte = float(800 / total);
    if (weights.files > 0)
        weights.perFile = float(100 / total);
    return weights;
}

float progressPercent(const ProgressWeights &weights, int tracksUploaded, int tracksConverted, qint64 bytesDownloaded,
                      int filesProcessed)
{
    const double value = tracksUploaded * double(weights.perUploadedTrack)
        + tracksConverted * double(weights.perConvertedTrack)
        + double(weights.perMegabyte) * double(bytesDownloaded) / 1048576.0 + filesProcessed * double(weights.perFile);
    return float(qBound(0.0, value, 100.0));
}
