#include "slgtostkzip.h"

#include "calendartime.h"
#include "pathtext.h"
#include "platform.h"
#include "slgtextreader.h"
#include "stkwriter.h"
#include "trackpoint.h"
#include "zipper.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string lastWriteText(const std::string &path)
{
    uint64_t creation = 0;
    uint64_t lastWrite = 0;
    if (!Platform::fileTimes(path, creation, lastWrite))
        return std::string();
    const CalendarTime time = CalendarTime::fromFileTime(lastWrite);
    char text[64];
    std::snprintf(text, sizeof text, "%04d_%02d_%02d__%02d_%02d_%02d", time.year, time.month, time.day, time.hour,
                  time.minute, time.second);
    return text;
}

} // namespace

CSlgToStkzip::CSlgToStkzip(const std::string &tempFolder)
    : mTempFolder(tempFolder)
{
    std::string module = Platform::modulePath();
    std::replace(module.begin(), module.end(), '\\', '/');
    const std::string::size_type slash = module.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : module.substr(0, slash + 1);
    const std::string toolName = "Sondump" + Platform::executableSuffix();
    mDumpToolPath = folder.empty() ? toolName : PathText::join(folder, toolName);
}

CSlgToStkzip::~CSlgToStkzip() = default;

int CSlgToStkzip::Convert(const std::string &sourcePath, const std::string &destinationFolder, int32_t minNPoint)
{
    std::string dumpPath;
    if (!Platform::createUniqueFile(mTempFolder, dumpPath)) {
        Platform::debugOutput("cannot create a temporary file in " + mTempFolder + "\n");
        return 8;
    }
    if (!Platform::runHiddenAndWait(mDumpToolPath, { sourcePath, dumpPath })) {
        Platform::deleteFile(dumpPath);
        return 8;
    }

    const std::string baseName =
        PathText::withoutExtension(PathText::fileName(sourcePath)) + "__" + lastWriteText(sourcePath);
    const std::string workingPath = PathText::join(mTempFolder, baseName);

    CStkWriter writer;
    if (writer.Open(sourcePath, workingPath) != 0)
        Platform::debugOutput("cannot describe " + sourcePath + " or create " + workingPath + "\n");

    CSlgTextReader reader(dumpPath);
    if (!reader.IsOpen()) {
        Platform::deleteFile(dumpPath);
        Platform::deleteFile(workingPath);
        return 8;
    }

    TrackPoint point;
    int readResult;
    while ((readResult = reader.ReadPoint(point)) == 0)
        writer.WritePoint(point);
    reader.Close();
    const int finishResult = writer.Finish();
    Platform::deleteFile(dumpPath);

    if (readResult != 5) {
        Platform::debugOutput("the dump of " + sourcePath + " cannot be read (" + std::to_string(readResult) + ")\n");
        Platform::deleteFile(workingPath);
        return 10;
    }
    if (writer.PointCount() < minNPoint) {
        Platform::deleteFile(workingPath);
        return 11;
    }
    // A track whose points did not all reach the disk is not a track.
    if (finishResult != 0) {
        Platform::debugOutput("writing " + workingPath + " failed\n");
        Platform::deleteFile(workingPath);
        return 10;
    }

    const std::string finalPath = PathText::setExtension(
        workingPath + "__" + std::to_string(writer.LargestValidTimeOffset()) + "__" + std::to_string(writer.PointCount()),
        ".stk");
    if (!Platform::renameReplace(workingPath, finalPath)) {
        Platform::deleteFile(workingPath);
        return 10;
    }

    const std::string archiveName = PathText::setExtension(PathText::fileName(finalPath), ".zip");
    const std::string archivePath = PathText::join(destinationFolder, archiveName);
    Platform::deleteFile(archivePath);

    // An archive that was not written completely would be uploaded as a
    // broken track, so it counts as a failure and is removed.
    CZipper zipper;
    bool archived = zipper.Open(archivePath, false);
    archived = archived && zipper.AddFile(finalPath);
    archived = zipper.Close() && archived;
    Platform::deleteFile(finalPath);
    if (!archived) {
        Platform::debugOutput("cannot write " + archivePath + "\n");
        Platform::deleteFile(archivePath);
        return 10;
    }
    return 0;
}
