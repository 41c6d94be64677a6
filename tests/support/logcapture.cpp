#include "logcapture.h"

#include "logging.h"
#include "testsupport.h"

#include <cstdio>

LogCapture::LogCapture()
{
    mOpen = mDir.isValid() && openLogFile(mDir.filePath(QStringLiteral("log")));
    qInstallMessageHandler(logMessageHandler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(nullptr);
    closeLogFile();
    // Warnings of Qt or of the product would otherwise stay in the
    // temporary log.
    for (const QString &line : linesStartingWith({ QStringLiteral("Warning: "), QStringLiteral("Critical: ") }))
        std::fprintf(stderr, "log: %s\n", qPrintable(line));
}

QStringList LogCapture::lines() const
{
    return TestSupport::readLines(mDir.filePath(QStringLiteral("log")));
}

QStringList LogCapture::linesStartingWith(const QStringList &prefixes) const
{
    QStringList result;
    for (const QString &line : lines()) {
        for (const QString &prefix : prefixes) {
            if (line.startsWith(prefix)) {
                result.append(line);
                break;
            }
        }
    }
    return result;
}
