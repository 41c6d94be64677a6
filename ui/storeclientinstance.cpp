#include "storeclientinstance.h"

#include <QDataStream>
#include <QDebug>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>

namespace {
const char Accepted = 'A';
// A hand-over is a few short arguments; anything longer is not one.
const qint64 MaximumMessageBytes = 64 * 1024;

int remainingMs(const QDeadlineTimer &deadline)
{
    return int(qMax<qint64>(deadline.remainingTime(), 0));
}

QString folderOrRuntime(const QString &folder)
{
    return folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : folder;
}
} // namespace

StoreClientInstance::StoreClientInstance(const QString &folder, int answerTimeoutMs, QObject *parent)
    : QObject(parent)
    , mSocketPath(folderOrRuntime(folder) + QStringLiteral("/velamaris-tidemart.socket"))
    , mLock(folder.isEmpty() ? StoreClientLock::defaultPath() : folder + QStringLiteral("/velamaris-tidemart.lock"))
    , mAnswerTimeoutMs(answerTimeoutMs)
{
}

StoreClientInstance::~StoreClientInstance()
{
    if (mServer)
        mServer->close(); // removes the socket file
}

StoreClientInstance::Role StoreClientInstance::start(const QStringList &arguments)
{
    if (mLock.acquire()) {
        listen();
        return Role::Running;
    }
    if (!StoreClientLock::isHeld(mLock.path())) {
        qWarning() << "The store client's lock cannot be taken:" << mLock.path();
        return Role::Running; // nobody to hand over to, and no reason to wait
    }
    if (handOver(arguments))
        return Role::HandedOver;
    // The holder of the lock lives but does not answer (hung, or no socket):
    // better a second window than none.
    qWarning() << "Another store client holds the lock but took no hand-over; starting anyway";
    return Role::Running;
}

bool StoreClientInstance::handOver(const QStringList &arguments)
{
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << arguments;

    // The running client takes the lock a moment before it listens: try again until the time is up.
    const QDeadlineTimer deadline(mAnswerTimeoutMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(mSocketPath);
        if (socket.waitForConnected(remainingMs(deadline))) {
            socket.write(message);
            char answer = 0;
            while (!socket.getChar(&answer)) {
                if (!socket.waitForReadyRead(remainingMs(deadline)))
                    return false;
            }
            return answer == Accepted;
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

void StoreClientInstance::listen()
{
    mServer = new QLocalServer(this);
    mServer->setSocketOptions(QLocalServer::UserAccessOption);
    // Only a client that died leaves a socket behind: this process holds the lock.
    QLocalServer::removeServer(mSocketPath);
    if (!mServer->listen(mSocketPath)) {
        qWarning() << "No hand-over from later starts: cannot listen on" << mSocketPath << mServer->errorString();
        return;
    }
    connect(mServer, &QLocalServer::newConnection, this, &StoreClientInstance::connectionArrived);
}

void StoreClientInstance::connectionArrived()
{
    while (QLocalSocket *socket = mServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto read = [this, socket] {
            if (socket->bytesAvailable() > MaximumMessageBytes) {
                socket->abort();
                return;
            }
            QDataStream in(socket);
            in.startTransaction();
            QStringList arguments;
            in >> arguments;
            if (!in.commitTransaction())
                return; // the rest is still on its way
            socket->putChar(Accepted);
            socket->flush();
            socket->disconnectFromServer();
            emit argumentsHandedOver(arguments);
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        if (socket->bytesAvailable() > 0)
            read();
    }
}
