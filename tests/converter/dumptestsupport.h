#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// In-process runs of Sondump's decoders, shared by its test suites.
namespace DumpTest {

// The dump's header line.
extern const QByteArray kHeader;

struct Decoded
{
    int status = -1;
    QString message;
    QList<QByteArray> lines;
};

// Decodes bytes in memory, as Sondump would decode a file holding them.
Decoded decode(const QByteArray &input);

// Every line of a dump: the header, then rows of 27 fields.
bool wellFormed(const Decoded &decoded);

// A sonar log of tests/data/sonar.
QByteArray sample(const QString &name);

// A zipped track as Sondrak makes it, of points with known values, built in
// folder as track.stk and track.zip.
QByteArray sondrakArchive(const QString &folder, int points);

} // namespace DumpTest
