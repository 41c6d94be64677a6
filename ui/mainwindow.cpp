#include "mainwindow.h"

#include "environment.h"
#include "titles.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

MainWindow::MainWindow(const QString &serverHost, const QString &cardPath, QWidget *parent)
    : QMainWindow(parent)
    , mCardPath(cardPath)
    , mServerHost(serverHost)
{
    if (!QFileInfo(mCardPath).isDir())
        mCardPath.clear();
    QSettings().setValue(QStringLiteral("Running"), 1u);

    mEditionLabel = serverEditionLabel(mServerHost);
    Environment::instance()->setServerAddress(mServerHost);
    qDebug() << "- Connecting to server: " << mServerHost;

    setObjectName(QStringLiteral("MainWindow"));
    resize(1024, 700);
    setMinimumSize(1024, 700);
    setApplicationTitle();
}

MainWindow::~MainWindow()
{
    QSettings().setValue(QStringLiteral("Running"), 0u);
}

void MainWindow::stateResetSlot()
{
}

void MainWindow::setApplicationTitle(int percentage)
{
    setWindowTitle(applicationTitle(mEditionLabel, percentage));
}

void MainWindow::setApplicationTitle()
{
    setApplicationTitle(-1);
}
