#pragma once

#include "timezoneservice.h"
#include "trackuploadservice.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class HttpServer;

// A small chart store on 127.0.0.1 for demos, end-to-end tests and
// benchmarks: the store site the client shows, its catalogue and manifests,
// generated chart files and archives, the desktop installer, the version
// document; on the same port, the stand-ins of the track-upload and
// time-zone services (their production paths, so that pointing both hosts at
// this server is enough). Not part of the product.
class StoreSimulator : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        // Version id announced by the version document (151 is the client's own).
        int versionId = 151;
        QString versionText = QStringLiteral("1.5.1");
        // The page starts an update of the first chart set by itself.
        bool autostart = false;
        // Adds a chart set of this many MiB (several plain files and one
        // archive of many files) for benchmarks; 0 for none.
        int bigSetMib = 0;
        // The chart files reach the client at no more than this (0: as fast as it goes).
        qint64 filesBytesPerSecond = 0;
        // Folder for the generated archives; a temporary one when empty.
        QString dataDir;
        QString paymentDomain = QStringLiteral("paypal.example");
        // With autostart: the page signs in as this user and joins the sonar
        // programme before it starts the update (empty: it does neither).
        QString sonarUserId;
    };

    struct ChartFile
    {
        QString name;
        QString destination;   // as the manifest gives it
        qint64 size = 0;       // download size
        qint64 unzippedSize = 0;
        int totalFiles = 0;
        QString localPath;     // archives: the zip on disk
        QString md5;           // empty: the manifest gives none
    };

    struct ChartSet
    {
        QString id;
        QString name;
        QString region;
        QList<ChartFile> files;
    };

    explicit StoreSimulator(HttpServer *server, const Options &options, QObject *parent = nullptr);
    ~StoreSimulator() override;

    // Builds the archives and registers every route; false when the data
    // could not be written.
    bool start();

    QList<ChartSet> chartSets() const { return mSets; }
    // The compact manifest of a set, as the store sends it.
    QByteArray manifest(const QString &setId) const;
    QString baseUrl() const;

    TrackUploadService &trackUploadService() { return mTrackUpload; }
    TimeZoneService &timeZoneService() { return mTimeZone; }

signals:
    // The store page reported something (demo mode): kind and detail.
    void pageEvent(const QString &kind, const QString &detail);

private:
    bool buildSets();
    void addRoutes();
    void addSonarRoutes();
    QByteArray homePage() const;
    QByteArray catalogue() const;

    HttpServer *mServer;
    static QString md5Of(const ChartFile &file);

    Options mOptions;
    std::unique_ptr<QTemporaryDir> mTemporaryData;
    QString mDataDir;
    QList<ChartSet> mSets;
    TrackUploadService mTrackUpload;
    TimeZoneService mTimeZone;
};
