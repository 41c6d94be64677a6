#pragma once

#include <QMetaMethod>
#include <QObject>
#include <QVariantList>
#include <QVector>

#include <functional>

// Hands every emission of the given signals of a source object to one
// function, with the signal and its arguments as variants, so that a host
// can forward signals it does not know at compile time.
class SignalRelay : public QObject
{
public:
    using Handler = std::function<void(const QMetaMethod &signal, const QVariantList &arguments)>;

    SignalRelay(QObject *source, const QVector<QMetaMethod> &signalList, Handler handler);

    // Receives the connected signals: one extra method per relayed signal
    // beyond QObject's own, as QSignalSpy does.
    int qt_metacall(QMetaObject::Call call, int id, void **arguments) override;

private:
    QVector<QMetaMethod> mSignals;
    Handler mHandler;
};
