#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QUrl>

// The program velamaris-httpserver (build/bin) as a child process of the
// test, for tests that want the server outside their own process.
class HttpServerProcess
{
public:
    HttpServerProcess() = default;
    ~HttpServerProcess();
    HttpServerProcess(const HttpServerProcess &) = delete;
    HttpServerProcess &operator=(const HttpServerProcess &) = delete;

    // Starts the program with these arguments and waits for its
    // "listening on 127.0.0.1:<port>" line. False when it does not come.
    bool start(const QStringList &arguments = QStringList());
    void stop();

    quint16 port() const { return mPort; }
    QUrl url(const QString &path) const;
    // What the program wrote on standard error (its complaints).
    QByteArray errorOutput();

private:
    QProcess mProcess;
    quint16 mPort = 0;
};
