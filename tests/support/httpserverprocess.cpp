#include "httpserverprocess.h"

#include "testsupport.h"

#include <QRegularExpression>

namespace {
constexpr int kStartTimeoutMs = 30000;
}

HttpServerProcess::~HttpServerProcess()
{
    stop();
}

bool HttpServerProcess::start(const QStringList &arguments)
{
    mProcess.start(TestSupport::binDir() + QStringLiteral("/velamaris-httpserver"), arguments);
    if (!mProcess.waitForStarted(kStartTimeoutMs))
        return false;
    const QRegularExpression pattern(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)$"));
    QByteArray line;
    while (!line.endsWith('\n')) {
        if (!mProcess.canReadLine() && !mProcess.waitForReadyRead(kStartTimeoutMs))
            return false;
        line += mProcess.readLine();
    }
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(line.trimmed()));
    if (!match.hasMatch())
        return false;
    mPort = quint16(match.captured(1).toUInt());
    return true;
}

void HttpServerProcess::stop()
{
    if (mProcess.state() == QProcess::NotRunning)
        return;
    mProcess.terminate();
    if (!mProcess.waitForFinished(kStartTimeoutMs)) {
        mProcess.kill();
        mProcess.waitForFinished(kStartTimeoutMs);
    }
}

QUrl HttpServerProcess::url(const QString &path) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(mPort);
    url.setPath(path);
    return url;
}

QByteArray HttpServerProcess::errorOutput()
{
    return mProcess.readAllStandardError();
}
