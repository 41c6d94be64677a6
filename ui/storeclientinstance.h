#pragma once

#include "storeclientlock.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

// Makes one store client per user: the first start holds the store client's
// lock and listens on a local socket in the user's runtime folder; a later
// start hands its arguments (a card handed over by the card watcher, say)
// to it there and leaves, instead of opening a second window that would
// fight over the card.
class StoreClientInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        Running,    // this process is the store client
        HandedOver, // the arguments went to the store client that runs
    };

    // folder: where the lock and the socket live (the runtime folder unless
    // a test names one); answerTimeoutMs: how long a later start waits for
    // the running one to take its arguments.
    explicit StoreClientInstance(const QString &folder = QString(), int answerTimeoutMs = 5000,
                                 QObject *parent = nullptr);
    ~StoreClientInstance() override;

    // Arguments after the program name.
    Role start(const QStringList &arguments);

    QString socketPath() const { return mSocketPath; }

signals:
    // A later start handed these arguments (after the program name) over.
    void argumentsHandedOver(const QStringList &arguments);

private slots:
    void connectionArrived();

private:
    bool handOver(const QStringList &arguments);
    void listen();

    QString mSocketPath;
    StoreClientLock mLock;
    int mAnswerTimeoutMs;
    QLocalServer *mServer = nullptr;
};
