// velamaris-httpserver: the local HTTP server as a program, for scripts,
// demos and tests that want it in a process of its own.
//
//   velamaris-httpserver [--port N] [--root DIR] [--config FILE]
//
// Prints "listening on 127.0.0.1:<port>" once it accepts connections.

#include "httpconfig.h"
#include "httpserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velamaris-httpserver"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local HTTP server with fault switches, for tests and benchmarks."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port to listen on (default: any free port)."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption rootOption(QStringLiteral("root"), QStringLiteral("Serve the files of this folder."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption configOption(QStringLiteral("config"), QStringLiteral("Routes in JSON."),
                                          QStringLiteral("FILE"));
    parser.addOptions({ portOption, rootOption, configOption });
    parser.process(app);

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "velamaris-httpserver: bad port %s\n", qPrintable(parser.value(portOption)));
        return 2;
    }

    HttpServer server;
    if (parser.isSet(configOption)) {
        QString error;
        if (!HttpConfig::applyFile(server, parser.value(configOption), &error)) {
            std::fprintf(stderr, "velamaris-httpserver: %s\n", qPrintable(error));
            return 2;
        }
    }
    if (parser.isSet(rootOption)) {
        const QString root = parser.value(rootOption);
        if (!QFileInfo(root).isDir()) {
            std::fprintf(stderr, "velamaris-httpserver: no folder %s\n", qPrintable(root));
            return 2;
        }
        server.addRoute(HttpRoute::directory(QStringLiteral("/"), root));
    }

    if (!server.listen(quint16(port))) {
        std::fprintf(stderr, "velamaris-httpserver: cannot listen: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    std::printf("listening on 127.0.0.1:%u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
