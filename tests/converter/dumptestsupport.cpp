#include "dumptestsupport.h"

#include "dumpwriter.h"
#include "sonardump.h"
#include "stkwriter.h"
#include "testsupport.h"
#include "zipper.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace DumpTest {

const QByteArray kHeader =
    "UpperLimit,LowerLimit,DepthValid,Depth,WaterTempValid,WaterTemp,Temp2Valid,Temp2,Temp3Valid,Temp3,"
    "WaterSpeedValid,WaterSpeed,PositionValid,PositionX,PositionY,SurfaceDepth,SurfaceValid,TopOfBottomDepth,"
    "TopOfBottomValid,ColumnIs50kHz,TimeValid,TimeOffset[ms],SpeedTrackValid,Speed,Track,AltitudeValid,Altitude";

Decoded decode(const QByteArray &input)
{
    Decoded result;
    char *outBuffer = nullptr;
    size_t outSize = 0;
    FILE *out = open_memstream(&outBuffer, &outSize);
    if (!out)
        return result;
    std::string message;
    {
        sondump::DumpWriter writer(out);
        result.status = sondump::SonarDump::dump(reinterpret_cast<const unsigned char *>(input.constData()),
                                                 size_t(input.size()), writer, message);
    }
    std::fclose(out);
    result.message = QString::fromStdString(message);
    const QByteArray text(outBuffer, int(outSize));
    std::free(outBuffer);
    result.lines = text.split('\n');
    if (!result.lines.isEmpty() && result.lines.last().isEmpty())
        result.lines.removeLast();
    return result;
}

bool wellFormed(const Decoded &decoded)
{
    if (decoded.lines.isEmpty())
        return true;
    if (decoded.lines.first() != kHeader)
        return false;
    for (int i = 1; i < decoded.lines.size(); ++i) {
        if (decoded.lines[i].count(',') != 26)
            return false;
    }
    return true;
}

QByteArray sample(const QString &name)
{
    return TestSupport::readFile(TestSupport::sourceDir() + "/tests/data/sonar/" + name);
}

QByteArray sondrakArchive(const QString &folder, int points)
{
    const QString log = folder + "/log.slg";
    const QString stk = folder + "/track.stk";
    const QString zip = folder + "/track.zip";
    TestSupport::writeFile(log, "log");
    CStkWriter writer;
    writer.Open(QFile::encodeName(log).toStdString(), QFile::encodeName(stk).toStdString());
    for (int i = 0; i < points; ++i) {
        TrackPoint point;
        point.DepthValid = i % 3 != 0;
        point.Depth = 10.0f + i;
        point.PositionValid = i % 2 == 0;
        point.PositionX = 1372428 + i;
        point.PositionY = -8179735 - i;
        point.TimeValid = true;
        point.TimeOffset = 48 + 100 * i;
        writer.WritePoint(point);
    }
    writer.Finish();
    QFile::remove(zip);
    CZipper zipper;
    zipper.Open(QFile::encodeName(zip).toStdString(), false);
    zipper.AddFile(QFile::encodeName(stk).toStdString());
    zipper.Close();
    return TestSupport::readFile(zip);
}

} // namespace DumpTest
