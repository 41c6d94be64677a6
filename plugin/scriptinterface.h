#pragma once

#include <QByteArray>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QVector>

// What a script sees of a class: the public slots, the scriptable properties
// and the signals declared from the class named by its "ToSuperClass" entry
// downwards (the class itself when there is none), none of its base classes'.
class ScriptInterface
{
public:
    explicit ScriptInterface(const QMetaObject *metaObject);

    bool hasMethod(const QByteArray &name) const;
    // The slot of that name taking argCount arguments; invalid when none.
    QMetaMethod method(const QByteArray &name, int argCount) const;
    // Invalid when the class has no such property; a slot is never a property.
    QMetaProperty property(const QByteArray &name) const;
    QVector<QMetaMethod> signalList() const;

private:
    QVector<QMetaMethod> mSlots;
    QVector<QMetaMethod> mSignals;
    QVector<QMetaProperty> mProperties;
};
