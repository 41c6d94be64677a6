#pragma once

#include "localhttpserver.h"
#include "logcapture.h"
#include "testenvironment.h"

#include <QJsonArray>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class VelDownloadManager;
class VelNetworkManager;

// Whole card updates as the store client runs them: the worker thread and
// the download manager against a local store, onto a card folder, with the
// card's free space and cluster size the test's to dictate.
class CardUpdateFixture : public QObject
{
    Q_OBJECT

public:
    CardUpdateFixture();
    ~CardUpdateFixture() override;

protected:
    // What a run showed the page: its phases in order, every progress
    // figure and its error.
    struct Outcome
    {
        QStringList phases;
        QList<float> progress;
        int errorCode = 0;
        QString errorMessage;
        int endings = 0;
    };

    // Once per test program: the environment and the store.
    void startStore();
    // Before each test: a fresh card with 4096-byte clusters and a GiB free.
    void startTest();
    void endTest();

    QString card(const QString &relative = QString()) const { return mDir->filePath("card/" + relative); }
    QString downloadArea() const { return mDir->filePath("app/Download"); }
    // Lists a file in the manifest and has the store serve it.
    void serve(const QString &name, const QString &destination, const QByteArray &body, int totalFiles = -1,
               qint64 unzippedSize = -1, qint64 announcedSize = -1);
    QByteArray manifest() const;
    void publishManifest(const QByteArray &contentType = "application/json");
    // Runs one update to its end; the manifest comes by URL unless inline text is given.
    void runUpdate(bool newtide, bool community, const QString &inlineManifest = QString(),
                   const QString &cardRoot = QString(), const QString &additionalPath = QString());
    // Everything below a folder: relative path -> content.
    static QMap<QString, QByteArray> tree(const QString &root);

    LocalHttpServer mServer;
    TestEnvironment *mEnvironment = nullptr;
    // Where the run fetches its manifest; the store's "/manifest.json" when empty.
    QString mManifestUrl;
    // Whether the run reads the card back after the copies (the default).
    bool mReadBack = true;
    std::unique_ptr<QTemporaryDir> mDir;
    QJsonArray mManifest;
    Outcome mOutcome;
    std::unique_ptr<LogCapture> mLog;

private:
    void makeCard();

    std::unique_ptr<QTemporaryDir> mEnvironmentDir;
    std::unique_ptr<VelNetworkManager> mNetwork;
    std::unique_ptr<VelDownloadManager> mManager;
};
