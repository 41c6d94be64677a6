#include "wakeformlog.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <cmath>

namespace {

const double kRadius = 6378388.0;
const double kLatitudeFactor = 1.0067642927;

struct Track
{
    QByteArray bytes;
    QByteArray position;   // "x;y", empty without one
};

QByteArray withoutLineEnd(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// "x;y" from a POS line, empty when the numbers do not read.
QByteArray positionOf(const QByteArray &line)
{
    const QList<QByteArray> fields = line.mid(4).trimmed().split(';');
    if (fields.size() != 2)
        return QByteArray();
    bool xOk = false;
    bool yOk = false;
    fields.at(0).trimmed().toDouble(&xOk);
    fields.at(1).trimmed().toDouble(&yOk);
    return xOk && yOk ? fields.at(0).trimmed() + ';' + fields.at(1).trimmed() : QByteArray();
}

} // namespace

bool WakeformLog::kindOf(const QString &fileName, Kind *kind)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("fsh"))
        *kind = Kind::Fsh;
    else if (suffix == QLatin1String("dat"))
        *kind = Kind::Dat;
    else
        return false;
    return true;
}

QByteArray WakeformLog::signature(Kind kind)
{
    return kind == Kind::Fsh ? QByteArray("RL90 FLOBS") : QByteArray("WAKE DAT");
}

WakeformLog::Outcome WakeformLog::convert(const QString &fileName, const QByteArray &bytes, QList<Part> *parts)
{
    parts->clear();
    if (bytes.isEmpty())
        return Outcome::Empty;
    Kind kind;
    if (!kindOf(fileName, &kind))
        return Outcome::NotALog;
    const int firstEnd = bytes.indexOf('\n');
    const QByteArray firstLine = withoutLineEnd(bytes.left(firstEnd < 0 ? bytes.size() : firstEnd + 1));
    if (firstLine != signature(kind))
        return Outcome::NotALog;

    QList<Track> tracks;
    bool marked = false;
    int pos = firstEnd < 0 ? bytes.size() : firstEnd + 1;
    while (pos < bytes.size()) {
        const int end = bytes.indexOf('\n', pos);
        const QByteArray rawLine = bytes.mid(pos, end < 0 ? -1 : end + 1 - pos);
        pos += rawLine.size();
        const QByteArray line = withoutLineEnd(rawLine);
        if (line == "TRACK" || line.startsWith("TRACK ")) {
            if (!marked)
                tracks.clear();   // soundings before the first marker belong to no track
            marked = true;
            tracks.append(Track());
        } else if (tracks.isEmpty()) {
            tracks.append(Track());
        }
        Track &track = tracks.last();
        track.bytes += rawLine;
        if (line.startsWith("POS ") && track.position.isEmpty())
            track.position = positionOf(line);
    }
    if (tracks.isEmpty())
        return Outcome::Empty;

    QString base = QFileInfo(fileName).fileName();
    base = base.left(base.indexOf(QLatin1Char('.')));
    if (base.isEmpty())
        base = QStringLiteral("track");
    for (int i = 0; i < tracks.size(); ++i) {
        const Track &track = tracks.at(i);
        const QString stem = QStringLiteral("%1_%2").arg(base).arg(i + 1, 3, 10, QLatin1Char('0'));
        Part part;
        part.t3dName = stem + QStringLiteral(".t3d");
        part.t3d = "T3D stand-in 1\nsource: " + QFileInfo(fileName).fileName().toUtf8() + "\npart: "
            + QByteArray::number(i + 1) + '/' + QByteArray::number(tracks.size()) + "\nsha1: "
            + QCryptographicHash::hash(track.bytes, QCryptographicHash::Sha1).toHex() + "\nlength: "
            + QByteArray::number(track.bytes.size()) + "\n\n" + track.bytes;
        if (!track.position.isEmpty()) {
            part.textName = stem + QStringLiteral(".txt");
            part.text = track.position + '\n';
        }
        parts->append(part);
    }
    return Outcome::Converted;
}

void WakeformLog::latLonToMercator(double latitude, double longitude, double *x, double *y)
{
    const double radians = M_PI / 180.0;
    const double spherical = std::atan(std::tan(latitude * radians) / kLatitudeFactor);
    *x = longitude * radians * kRadius;
    *y = kRadius * std::log(std::tan(M_PI / 4 + spherical / 2));
}

QByteArray WakeformLog::sample(Kind kind, int trackCount, double latitude, double longitude)
{
    QByteArray log = signature(kind) + '\n';
    for (int i = 0; i < trackCount; ++i) {
        double x = 0;
        double y = 0;
        // About a kilometre apart, so each track has a position of its own.
        latLonToMercator(latitude, longitude + 0.01 * i, &x, &y);
        log += "TRACK " + QByteArray::number(i + 1) + '\n';
        log += "POS " + QByteArray::number(qRound64(x)) + ';' + QByteArray::number(qRound64(y)) + '\n';
        for (int sounding = 0; sounding < 8; ++sounding)
            log += "D " + QByteArray::number(sounding * 250) + ' ' + QByteArray::number(12.5 + sounding * 0.3 + i, 'f', 1) + '\n';
    }
    return log;
}
