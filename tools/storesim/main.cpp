// The simulated chart store: serves the store site, manifests, chart files,
// the installer and the version document on 127.0.0.1.

#include "httpserver.h"
#include "storesimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::signal(SIGTERM, [](int) { std::_Exit(0); });

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated Velamaris chart store on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port to listen on (0: any free port)."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption autostart(QStringLiteral("autostart"),
                                       QStringLiteral("The page starts an update of the first chart set by itself."));
    const QCommandLineOption versionId(QStringLiteral("version-id"),
                                       QStringLiteral("Version id announced to the client (default 151)."),
                                       QStringLiteral("id"), QStringLiteral("151"));
    const QCommandLineOption versionText(QStringLiteral("version"), QStringLiteral("Version text announced."),
                                         QStringLiteral("text"), QStringLiteral("1.5.1"));
    const QCommandLineOption bigSet(QStringLiteral("big-set-mib"),
                                    QStringLiteral("Adds a benchmark chart set of this many MiB."),
                                    QStringLiteral("mib"), QStringLiteral("0"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                     QStringLiteral("Folder for the generated archives (default: temporary)."),
                                     QStringLiteral("folder"));
    const QCommandLineOption rate(QStringLiteral("rate-mb"),
                                  QStringLiteral("Serve the chart files at no more than this many MB (10^6 bytes) per second."),
                                  QStringLiteral("mb"), QStringLiteral("0"));
    parser.addOptions({ port, autostart, versionId, versionText, bigSet, dataDir, rate });
    parser.process(app);

    StoreSimulator::Options options;
    options.autostart = parser.isSet(autostart);
    options.versionId = parser.value(versionId).toInt();
    options.versionText = parser.value(versionText);
    options.bigSetMib = parser.value(bigSet).toInt();
    options.dataDir = parser.value(dataDir);
    options.filesBytesPerSecond = qint64(parser.value(rate).toDouble() * 1e6);

    HttpServer server;
    if (!server.listen(quint16(parser.value(port).toUInt()))) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    StoreSimulator store(&server, options);
    if (!store.start()) {
        std::fprintf(stderr, "cannot prepare the store's files\n");
        return 1;
    }
    QTextStream out(stdout);
    QObject::connect(&store, &StoreSimulator::pageEvent, [&out](const QString &kind, const QString &detail) {
        out << "page: " << kind << ' ' << detail << Qt::endl;
    });
    out << "listening on 127.0.0.1:" << server.port() << Qt::endl;
    return app.exec();
}
