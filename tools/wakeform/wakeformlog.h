#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The sonar logs the Wakeform stand-in understands, and what it makes of them.
//
// A log is text (LF or CRLF line ends):
//   line 1      the signature: "RL90 FLOBS" in an .fsh log, "WAKE DAT" in a .dat log
//   TRACK       starts a track (text after the word is ignored); a log without
//               any TRACK line is one track holding everything after line 1
//   POS x;y     a position in metres of the "Mercator Lowrance" projection
//               (sphere of radius 6378388); the first one of a track is its
//               position
//   other lines soundings, carried into the part unread
//
// Each track gives one part, "<base>_<NNN>.t3d" (base: the log's name up to
// its first "."; NNN from 001), and beside it "<base>_<NNN>.txt" whose only
// line is "x;y", the track's first position. A track without a position
// gets no text file. A part holds a short header (source, part number,
// SHA-1 and length of the track's bytes), a blank line and the track's bytes.
class WakeformLog
{
public:
    enum class Kind { Fsh, Dat };

    struct Part
    {
        QString t3dName;
        QByteArray t3d;
        QString textName;   // empty when the track has no position
        QByteArray text;    // "x;y\n"
    };

    enum class Outcome { Converted, Empty, NotALog };

    // Kind from the file name's last suffix (letter case ignored); false for
    // any other suffix.
    static bool kindOf(const QString &fileName, Kind *kind);
    static QByteArray signature(Kind kind);

    // Converts a log's bytes into parts.
    static Outcome convert(const QString &fileName, const QByteArray &bytes, QList<Part> *parts);

    // A sample log of this kind with trackCount tracks, the first at the
    // given position and each further one a little to the east, each with a
    // few soundings.
    static QByteArray sample(Kind kind, int trackCount, double latitude, double longitude);

    // Degrees to the projection's metres (the inverse of the store client's
    // reading, with its latitude correction factor 1.0067642927).
    static void latLonToMercator(double latitude, double longitude, double *x, double *y);
};
