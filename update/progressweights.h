#pragma once

#include <QtGlobal>

// How much each unit of work adds to a card update's progress, in percent:
// converting a track weighs most, then uploading it, then each megabyte
// downloaded, then each file copied onto the card. Units that a run does
// not have weigh nothing, so a finished run adds up to 100.
struct ProgressWeights
{
    // The work as counted: a fraction of megabytes, nothing below 0.
    double megabytes = 0;
    int tracks = 0;
    int files = 0;

    float perMegabyte = 0;
    float perFile = 0;
    float perConvertedTrack = 0;
    float perUploadedTrack = 0;
};

ProgressWeights progressWeights(qint64 totalBytes, int tracks, int files);

// Percent done, kept within 0 to 100.
float progressPercent(const ProgressWeights &weights, int tracksUploaded, int tracksConverted, qint64 bytesDownloaded,
                      int filesProcessed);
