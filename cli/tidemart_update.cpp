// tidemart-update: one card update from the command line, run by the same
// worker and download manager as the store client, for scripting, support
// and benchmarks. It prints each phase as the store page would see it.

#include "cardfiles.h"
#include "chip.h"
#include "downloadarea.h"
#include "downloadmanagertest.h"
#include "environment.h"
#include "logging.h"
#include "manifest.h"
#include "partialdownloads.h"
#include "serverhosts.h"
#include "errorcodes.h"
#include "veldownloadmanager.h"
#include "velnetworkmanager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QNetworkProxyFactory>
#include <QStandardPaths>
#include <QTextStream>

#include <cstdio>

namespace {
QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

void phase(const QString &text)
{
    out() << text << Qt::endl;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velamaris"));
    QCoreApplication::setOrganizationDomain(ServerHosts::organizationDomain());
    QCoreApplication::setApplicationName(QStringLiteral("Velamaris Tidemart"));
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Updates a chart card from a manifest, without a window.\n"
                                                    "Exit status: 0 completed, 2 not enough space, 1 error."));
    parser.addHelpOption();
    const QCommandLineOption manifestUrl(QStringLiteral("manifest-url"), QStringLiteral("Fetch the manifest from URL."),
                                         QStringLiteral("url"));
    const QCommandLineOption manifestFile(QStringLiteral("manifest-file"),
                                          QStringLiteral("Read the manifest from FILE."), QStringLiteral("file"));
    const QCommandLineOption card(QStringLiteral("card"), QStringLiteral("Root folder of the card."),
                                  QStringLiteral("folder"));
    const QCommandLineOption noNewtide(QStringLiteral("no-newtide"), QStringLiteral("Leave the chart data out."));
    const QCommandLineOption noCommunity(QStringLiteral("no-community"),
                                         QStringLiteral("Leave the community layer out."));
    const QCommandLineOption retryPause(QStringLiteral("manifest-retry-pause"),
                                        QStringLiteral("Milliseconds between two attempts to fetch the manifest."),
                                        QStringLiteral("ms"), QStringLiteral("20000"));
    const QCommandLineOption noReadBack(QStringLiteral("no-read-back"),
                                        QStringLiteral("Do not read the copied files back from the card."));
    const QCommandLineOption sonar(QStringLiteral("sonar"),
                                   QStringLiteral("Collect the card's sonar logs; with --user-id, convert and "
                                                  "upload them. Without a manifest, the charts are left alone."));
    const QCommandLineOption userId(QStringLiteral("user-id"), QStringLiteral("The store user the tracks belong to."),
                                    QStringLiteral("id"));
    parser.addOptions({ manifestUrl, manifestFile, card, noNewtide, noCommunity, retryPause, noReadBack, sonar, userId });
    parser.process(app);

    const bool hasManifest = parser.isSet(manifestUrl) || parser.isSet(manifestFile);
    if (!parser.isSet(card) || (parser.isSet(manifestUrl) && parser.isSet(manifestFile))
        || (!hasManifest && !parser.isSet(sonar))) {
        std::fprintf(stderr, "tidemart-update: give --card and one of --manifest-url or --manifest-file "
                             "(or --sonar alone)\n");
        return 1;
    }
    QString manifestText;
    if (parser.isSet(manifestFile)) {
        QFile file(parser.value(manifestFile));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "tidemart-update: cannot read %s\n", qPrintable(file.fileName()));
            return 1;
        }
        // Read no more than a manifest may be: the run refuses a larger one.
        manifestText = QString::fromLatin1(file.read(MaxManifestBytes + 1));
    }

    Environment *environment = Environment::instance();
    // A log and a download area of its own: a store client may be running
    // beside it, and must not lose its log or its downloads.
    if (!openLogFile(environment->applicationDir().filePath(QStringLiteral("tidemart-update.log"))))
        std::fprintf(stderr, "tidemart-update: Unable to write the log file\n");
    const QString downloadDir =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/tidemart-update/Download");
    qInstallMessageHandler(logMessageHandler);

    const QString cardRoot = QFileInfo(parser.value(card)).absoluteFilePath();
    Chip chip;
    chip.open(cardRoot);
    if (!chip.isWritable()) {
        phase(QStringLiteral("nowritable"));
        closeLogFile();
        return 1;
    }

    VelNetworkManager network(QString::number(Environment::buildNumber()), environment->platformName());
    VelDownloadManager manager(&network);
    CardUpdateOptions options;
    options.manifestUrl = parser.value(manifestUrl);
    options.downloadDirPath = downloadDir;
    options.cardRootPath = cardRoot;
    options.newtideEnabled = hasManifest && !parser.isSet(noNewtide);
    options.communityEnabled = hasManifest && !parser.isSet(noCommunity);
    options.readBack = !parser.isSet(noReadBack);
    options.sonarEnabled = parser.isSet(sonar);
    options.userId = parser.value(userId);
    DownloadManagerTest process(&manager, options);
    process.setApplicationDir(environment->applicationDir());
    process.setManifestRetryPause(parser.value(retryPause).toInt());
    if (parser.isSet(manifestFile))
        process.setManifestText(manifestText);

    int status = 1;
    QObject::connect(&process, &DownloadManagerTest::preparingForDownload, &app, [] { phase(QStringLiteral("init")); });
    QObject::connect(&process, &DownloadManagerTest::searchingUGDTracks, &app, [] { phase(QStringLiteral("searchingtrack")); });
    QObject::connect(&process, &DownloadManagerTest::convertingUGDTracks, &app, [] { phase(QStringLiteral("trackconversion")); });
    QObject::connect(&process, &DownloadManagerTest::uploadingUGDTracks, &app, [] { phase(QStringLiteral("uploadtrack")); });
    QObject::connect(&process, &DownloadManagerTest::sonarTrackReport, &app, [](int uploaded, int already, int corrupted) {
        phase(QStringLiteral("sonar %1 uploaded, %2 already uploaded, %3 corrupted").arg(uploaded).arg(already).arg(corrupted));
    });
    QObject::connect(&process, &DownloadManagerTest::startDownloadingChart, &app, [] { phase(QStringLiteral("download")); });
    QObject::connect(&process, &DownloadManagerTest::startInstallingChart, &app, [] { phase(QStringLiteral("install")); });
    QObject::connect(&process, &DownloadManagerTest::startInstallingUGC, &app, [] { phase(QStringLiteral("ugc")); });
    QObject::connect(&process, &DownloadManagerTest::updateProcessStatus, &app, [](float value) {
        phase(QStringLiteral("progress %1").arg(QString::number(double(value), 'g', 6)));
    });
    QObject::connect(&process, &DownloadManagerTest::processCompleted, &app, [&status] {
        status = 0;
        phase(QStringLiteral("completed"));
    });
    QObject::connect(&process, &DownloadManagerTest::notEnoughSpace, &app, [&status] {
        status = 2;
        phase(QStringLiteral("nospace"));
    });
    QObject::connect(&process, &DownloadManagerTest::newtideDataError, &app, [&status](int code, const QString &message) {
        status = 1;
        phase(QStringLiteral("error %1 %2; %3").arg(code).arg(errorCodeName(code), message));
    });
    // Every notification is queued to this thread, the end of the thread last.
    QObject::connect(&process, &QThread::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    process.start();
    app.exec();
    process.wait();
    // The downloaded copy is no use once the card has it; a chart set can be
    // gigabytes, so it does not wait for the next run. Only the partial
    // files of transfers that broke off stay, for the next run to finish.
    // Another run that holds the area keeps its files.
    DownloadArea area(downloadDir);
    if (area.claim() == DownloadArea::Claim::Taken)
        removeAllButPartialDownloads(QDir(downloadDir));
    qInstallMessageHandler(nullptr);
    closeLogFile();
    return status;
}
