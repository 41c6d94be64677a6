#include "runlog.h"

#include "cardupdateoptions.h"
#include "fileobject.h"

#include <QDebug>

void logRunHeader(const CardUpdateOptions &options)
{
    qDebug() << "---------------------";
    qDebug() << "-- Starting Newtide Data Process";
    qDebug() << "-           User id: " << options.userId;
    qDebug() << "-     Newtide data: " << options.newtideEnabled;
    qDebug() << "-   Community layer: " << options.communityEnabled;
    qDebug() << "-       Sonar track: " << options.sonarEnabled;
    qDebug() << "--";
    qDebug() << "---------------------";
    qDebug("%s", "");
}

void logManifestEntry(int number, const FileObject &entry, bool accepted)
{
    qDebug() << "---------------------";
    qDebug() << "--      File number: " << number;
    qDebug() << "-     File accepted: " << accepted;
    qDebug() << "-         File name: " << entry.name();
    qDebug() << "-          File url: " << entry.url();
    qDebug() << "-  Destination path: " << entry.destinationPath();
    qDebug() << "-         File size: " << entry.size();
    qDebug() << "-    Unzipped files: " << entry.totalFiles();
    qDebug() << "-     Unzipped size: " << entry.unzippedSize();
    qDebug() << "--";
    qDebug() << "---------------------";
    qDebug("%s", "");
}

void logSpaceFigures(quint64 downloadBytes, quint64 newFilesSize, quint64 removedBytes, quint64 freeBytes)
{
    qDebug() << "===        Byte To Download: " << downloadBytes;
    qDebug() << "===  Disk Size Of New Chart: " << newFilesSize;
    qDebug() << "=== Size Of Files To Remove: " << removedBytes;
    qDebug() << "===         Chip Free Space: " << freeBytes;
    qDebug("%s", "");
}

void logRunEnd(bool success, qint64 downloadStart, qint64 downloadEnd, qint64 now)
{
    qDebug() << "\t     Test download: " << (success ? "passed" : "error!");
    qDebug() << "\t      Time elapsed: " << (downloadEnd - downloadStart) << " seconds";
    qDebug() << "\tTotal time elapsed: " << (now - downloadStart) << " seconds";
}
