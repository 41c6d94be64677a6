#include "logging.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QTextStream>

#include <cstdlib>

namespace {
QMutex gLogMutex;
QFile *gLogFile = nullptr;
QTextStream *gLogStream = nullptr;
} // namespace

bool openLogFile(const QString &path)
{
    QMutexLocker locker(&gLogMutex);
    delete gLogStream;
    gLogStream = nullptr;
    delete gLogFile;
    gLogFile = nullptr;

    if (QFile::exists(path))
        QFile::remove(path);
    auto *file = new QFile(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        delete file;
        return false;
    }
    gLogFile = file;
    gLogStream = new QTextStream(gLogFile);
    return true;
}

void closeLogFile()
{
    QMutexLocker locker(&gLogMutex);
    delete gLogStream;
    gLogStream = nullptr;
    if (gLogFile)
        gLogFile->close();
    delete gLogFile;
    gLogFile = nullptr;
}

bool isLogOpen()
{
    QMutexLocker locker(&gLogMutex);
    return gLogStream != nullptr;
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (message.isNull())
        return;
    {
        QMutexLocker locker(&gLogMutex);
        if (gLogStream) {
            switch (type) {
            case QtDebugMsg:
            case QtInfoMsg:
                *gLogStream << message;
                break;
            case QtWarningMsg:
                *gLogStream << QStringLiteral("Warning: ") << message;
                break;
            case QtCriticalMsg:
                *gLogStream << QStringLiteral("Critical: ") << message;
                break;
            case QtFatalMsg:
                *gLogStream << QStringLiteral("Fatal: ") << message;
                break;
            }
            *gLogStream << Qt::endl;
        }
    }
    if (type == QtFatalMsg)
        std::abort();
}
