#include "scriptinterface.h"

namespace {

const QMetaObject *exposedFrom(const QMetaObject *metaObject)
{
    const int info = metaObject->indexOfClassInfo("ToSuperClass");
    if (info < 0)
        return metaObject;
    const QByteArray top = metaObject->classInfo(info).value();
    for (const QMetaObject *m = metaObject; m; m = m->superClass()) {
        if (top == m->className())
            return m;
    }
    return metaObject;
}

} // namespace

ScriptInterface::ScriptInterface(const QMetaObject *metaObject)
{
    const QMetaObject *top = exposedFrom(metaObject);
    for (int i = top->methodOffset(); i < metaObject->methodCount(); ++i) {
        const QMetaMethod m = metaObject->method(i);
        if (m.methodType() == QMetaMethod::Signal)
            mSignals.append(m);
        else if (m.methodType() == QMetaMethod::Slot && m.access() == QMetaMethod::Public)
            mSlots.append(m);
    }
    for (int i = top->propertyOffset(); i < metaObject->propertyCount(); ++i) {
        const QMetaProperty p = metaObject->property(i);
        if (p.isScriptable())
            mProperties.append(p);
    }
}

bool ScriptInterface::hasMethod(const QByteArray &name) const
{
    for (const QMetaMethod &m : mSlots) {
        if (m.name() == name)
            return true;
    }
    return false;
}

QMetaMethod ScriptInterface::method(const QByteArray &name, int argCount) const
{
    for (const QMetaMethod &m : mSlots) {
        if (m.name() == name && m.parameterCount() == argCount)
            return m;
    }
    return QMetaMethod();
}

QMetaProperty ScriptInterface::property(const QByteArray &name) const
{
    for (const QMetaProperty &p : mProperties) {
        if (name == p.name() && !hasMethod(name))
            return p;
    }
    return QMetaProperty();
}

QVector<QMetaMethod> ScriptInterface::signalList() const
{
    return mSignals;
}
