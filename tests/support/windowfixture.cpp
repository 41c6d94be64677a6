#include "windowfixture.h"

#include "mainwindow.h"
#include "testenvironment.h"
#include "testsupport.h"
#include "webpage.h"

#include <QCoreApplication>
#include <QWebFrame>
#include <QtTest>

#include <cstdio>

WindowFixture::WindowFixture()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Velamaris"));
    QCoreApplication::setApplicationName(QStringLiteral("Velamaris Tidemart"));
    MessageBoxes::setHandler([this](const MessageBoxRequest &request) {
        mBoxes.append(request);
        return request.defaultButton;
    });
}

WindowFixture::~WindowFixture()
{
    cleanup();
    MessageBoxes::setHandler(MessageBoxes::Handler());
}

bool WindowFixture::installEnvironment()
{
    mEnvironmentDir = std::make_unique<QTemporaryDir>();
    if (!mEnvironmentDir->isValid())
        return false;
    mEnvironment = TestEnvironment::install(mEnvironmentDir->path());
    return true;
}

bool WindowFixture::startServer()
{
    mBoxes.clear();
    mLog = std::make_unique<LogCapture>();
    mServer = std::make_unique<LocalHttpServer>();
    return mLog->isOpen() && mServer->start();
}

bool WindowFixture::startStore(const StoreSimulator::Options &options)
{
    mStore = std::make_unique<StoreSimulator>(&mServer->server(), options);
    return mStore->start();
}

MainWindow *WindowFixture::openWindow(const QString &cardPath, const QString &serverHost)
{
    mWindow = std::make_unique<MainWindow>(serverHost.isEmpty() ? storeHost() : serverHost, cardPath);
    return mWindow.get();
}

void WindowFixture::cleanup()
{
    if (mLog && QTest::currentTestFailed()) {
        for (const QString &line : mLog->lines())
            std::fprintf(stderr, "log: %s\n", qPrintable(line));
    }
    if (mWindow) {
        mWindow.reset();
        TestSupport::consumeQuitRequest();
    }
    mStore.reset();
    mServer.reset();
    mLog.reset();
}

QString WindowFixture::storeHost() const
{
    return QStringLiteral("127.0.0.1:%1").arg(mServer->port());
}

bool WindowFixture::pageShows(const QUrl &url) const
{
    if (!mWindow || !mWindow->page())
        return false;
    QWebFrame *frame = mWindow->page()->mainFrame();
    return frame->url() == url && frame->evaluateJavaScript(QStringLiteral("document.readyState")).toString()
        == QLatin1String("complete");
}

QVariant WindowFixture::evaluate(const QString &script) const
{
    return mWindow->page()->mainFrame()->evaluateJavaScript(script);
}
