#include "signalrelay.h"

SignalRelay::SignalRelay(QObject *source, const QVector<QMetaMethod> &signalList, Handler handler)
    : mSignals(signalList)
    , mHandler(std::move(handler))
{
    const int firstOwn = QObject::staticMetaObject.methodCount();
    for (int i = 0; i < mSignals.size(); ++i)
        QMetaObject::connect(source, mSignals[i].methodIndex(), this, firstOwn + i, Qt::DirectConnection);
}

int SignalRelay::qt_metacall(QMetaObject::Call call, int id, void **arguments)
{
    id = QObject::qt_metacall(call, id, arguments);
    if (id < 0 || call != QMetaObject::InvokeMetaMethod)
        return id;
    if (id < mSignals.size()) {
        const QMetaMethod &signal = mSignals[id];
        QVariantList values;
        for (int i = 0; i < signal.parameterCount(); ++i)
            values.append(QVariant(signal.parameterType(i), arguments[i + 1]));
        mHandler(signal, values);
    }
    return -1;
}
