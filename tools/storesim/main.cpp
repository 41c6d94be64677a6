// The simulated chart store: serves the store site, manifests, chart files,
// the installer and the version document on 127.0.0.1, with the stand-ins of
// the track-upload and time-zone services on the same port.

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
    const QCommandLineOption userId(QStringLiteral("user-id"),
                                    QStringLiteral("With --autostart, the page signs in as this user and joins the "
                                                   "sonar programme, so the update also uploads the card's sonar logs."),
                                    QStringLiteral("id"));
    const QCommandLineOption uploadFault(QStringLiteral("upload-fault"),
                                         QStringLiteral("The first uploads meet this fault (error, status500, notxml, "
                                                        "stall, cut), optionally followed by :count."),
                                         QStringLiteral("fault[:count]"));
    const QCommandLineOption zoneFault(QStringLiteral("timezone-fault"),
                                       QStringLiteral("The first time-zone queries meet this fault (status, status503, "
                                                      "notxml, stall, cut), optionally followed by :count."),
                                       QStringLiteral("fault[:count]"));
    parser.addOptions({ port, autostart, versionId, versionText, bigSet, dataDir, userId, uploadFault, zoneFault, rate });
    parser.process(app);

    StoreSimulator::Options options;
    options.autostart = parser.isSet(autostart);
    options.versionId = parser.value(versionId).toInt();
    options.versionText = parser.value(versionText);
    options.bigSetMib = parser.value(bigSet).toInt();
    options.dataDir = parser.value(dataDir);
    options.sonarUserId = parser.value(userId);
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
    auto faultCount = [](const QString &value, QString *name) {
        const QStringList parts = value.split(QLatin1Char(':'));
        *name = parts.first();
        return parts.size() > 1 ? parts.at(1).toInt() : 1;
    };
    QString faultName;
    if (parser.isSet(uploadFault)) {
        const int count = faultCount(parser.value(uploadFault), &faultName);
        TrackUploadService::Fault fault;
        if (!TrackUploadService::faultFromName(faultName, &fault)) {
            std::fprintf(stderr, "unknown upload fault: %s\n", qPrintable(faultName));
            return 2;
        }
        store.trackUploadService().failNext(fault, count);
    }
    if (parser.isSet(zoneFault)) {
        const int count = faultCount(parser.value(zoneFault), &faultName);
        TimeZoneService::Fault fault;
        if (!TimeZoneService::faultFromName(faultName, &fault)) {
            std::fprintf(stderr, "unknown time-zone fault: %s\n", qPrintable(faultName));
            return 2;
        }
        store.timeZoneService().failNext(fault, count);
    }
    // One line per upload and per time-zone query, for the demo.
    QTextStream err(stderr);
    auto printLine = [&err](const QString &line) { err << line << Qt::endl; };
    QObject::connect(&store.trackUploadService(), &TrackUploadService::uploadReceived, &app, printLine,
                     Qt::QueuedConnection);
    QObject::connect(&store.timeZoneService(), &TimeZoneService::queryReceived, &app, printLine, Qt::QueuedConnection);
    QTextStream out(stdout);
    QObject::connect(&store, &StoreSimulator::pageEvent, [&out](const QString &kind, const QString &detail) {
        out << "page: " << kind << ' ' << detail << Qt::endl;
    });
    out << "listening on 127.0.0.1:" << server.port() << Qt::endl;
    return app.exec();
}
