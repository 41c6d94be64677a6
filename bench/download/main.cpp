// bench-download URL OUTPUT
//
// Downloads URL into OUTPUT through the download manager exactly as a card
// update does (a worker thread hands over one file action and waits for the
// batch), and prints the size, the time and the throughput. Exit status 0
// when the download succeeded.

#include "filedownloadaction.h"
#include "veldownloadmanager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cstdio>

namespace {

// The worker side of the hand-over; emits from the worker thread, so the
// manager receives queued calls as from the card update process.
class BatchFeeder : public QObject
{
    Q_OBJECT

signals:
    void enqueueUrl(VelDownloadAction *action);
    void waitingSignal();
};

// The manager's per-file log lines would only clutter the figures.
void dropDebugMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(dropDebugMessages);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench-download URL OUTPUT\n");
        return 2;
    }
    const QUrl url = QUrl::fromUserInput(QString::fromLocal8Bit(argv[1]));
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();

    VelDownloadManager manager;
    BatchFeeder feeder;
    QObject::connect(&feeder, &BatchFeeder::enqueueUrl, &manager, &VelDownloadManager::enqueueUrl);
    QObject::connect(&feeder, &BatchFeeder::waitingSignal, &manager, &VelDownloadManager::waitingSlot);

    ParseError result = -1;
    qint64 elapsedMs = 0;
    QThread *worker = QThread::create([&] {
        QElapsedTimer timer;
        timer.start();
        FileDownloadAction *action = new FileDownloadAction(url, output, nullptr);
        action->moveToThread(manager.thread());
        emit feeder.enqueueUrl(action);
        emit feeder.waitingSignal();
        manager.waitForAll();
        elapsedMs = timer.elapsed();
        result = action->getActionError();
        action->deleteLater();
    });
    QObject::connect(worker, &QThread::finished, &app, &QCoreApplication::quit);
    worker->start();
    app.exec();
    worker->wait();
    delete worker;

    const qint64 size = QFileInfo(output).size();
    const double seconds = qMax<qint64>(elapsedMs, 1) / 1000.0;
    std::printf("bench-download: %lld bytes in %.3f s, %.1f MB/s, error code %d\n", static_cast<long long>(size),
                seconds, size / seconds / 1e6, result);
    return result == 0 ? 0 : 1;
}

#include "main.moc"
