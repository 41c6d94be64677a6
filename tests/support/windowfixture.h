#pragma once

#include "localhttpserver.h"
#include "logcapture.h"
#include "messageboxes.h"
#include "storesimulator.h"

#include <QList>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

class MainWindow;
class TestEnvironment;

// What the tests of the whole window share: the platform layer in a folder
// of the test, message boxes recorded and answered with their default (none
// may wait for a user), the product's log, the simulated store on a local
// server, and the window itself.
class WindowFixture
{
public:
    WindowFixture();
    ~WindowFixture();
    WindowFixture(const WindowFixture &) = delete;
    WindowFixture &operator=(const WindowFixture &) = delete;

    // A fresh application and temporary folder: no "update.ini", no updater.
    bool installEnvironment();
    // The log capture and the local server, empty; for a test's init().
    bool startServer();
    bool startStore(const StoreSimulator::Options &options = StoreSimulator::Options());
    // A window on the store, or on serverHost when one is given.
    MainWindow *openWindow(const QString &cardPath = QString(), const QString &serverHost = QString());
    // Ends what a test started; shows the product's log when the test failed.
    void cleanup();

    TestEnvironment *environment() const { return mEnvironment; }
    QString environmentPath(const QString &relative) const { return mEnvironmentDir->filePath(relative); }
    HttpServer &server() { return mServer->server(); }
    QUrl url(const QString &path) const { return mServer->url(path); }
    QString storeHost() const;
    StoreSimulator *store() const { return mStore.get(); }
    LogCapture &log() { return *mLog; }
    MainWindow *window() const { return mWindow.get(); }
    void closeWindow() { mWindow.reset(); }
    QList<MessageBoxRequest> &boxes() { return mBoxes; }

    // The page shows url and has finished loading it.
    bool pageShows(const QUrl &url) const;
    QVariant evaluate(const QString &script) const;

private:
    std::unique_ptr<QTemporaryDir> mEnvironmentDir;
    TestEnvironment *mEnvironment = nullptr;
    QList<MessageBoxRequest> mBoxes;
    std::unique_ptr<LogCapture> mLog;
    std::unique_ptr<LocalHttpServer> mServer;
    std::unique_ptr<StoreSimulator> mStore;
    std::unique_ptr<MainWindow> mWindow;
};
