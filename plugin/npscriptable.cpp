#include "npscriptable.h"

#include "npbrowser.h"

#include <QDebug>
#include <QGenericArgument>
#include <QVariantList>

#include <array>

NPClass NpScriptable::sClass = {
    NP_CLASS_STRUCT_VERSION,
    &NpScriptable::allocate,
    &NpScriptable::deallocate,
    &NpScriptable::invalidate,
    &NpScriptable::hasMethod,
    &NpScriptable::invoke,
    &NpScriptable::invokeDefault,
    &NpScriptable::hasProperty,
    &NpScriptable::getProperty,
    &NpScriptable::setProperty,
    &NpScriptable::removeProperty,
    nullptr,
    nullptr,
};

NpScriptable::NpScriptable() = default;

NpScriptable *NpScriptable::create(NPP npp, QObject *target, std::function<void()> changed)
{
    auto *object = static_cast<NpScriptable *>(NpBrowser::functions()->createobject(npp, &sClass));
    if (!object)
        return nullptr;
    object->mTarget = target;
    object->mInterface = new ScriptInterface(target->metaObject());
    object->mChanged = std::move(changed);
    return object;
}

NPObject *NpScriptable::allocate(NPP, NPClass *)
{
    return new NpScriptable;
}

void NpScriptable::deallocate(NPObject *object)
{
    auto *self = static_cast<NpScriptable *>(object);
    delete self->mInterface;
    delete self;
}

void NpScriptable::invalidate(NPObject *object)
{
    auto *self = static_cast<NpScriptable *>(object);
    self->mTarget = nullptr;
    self->mChanged = nullptr;
}

bool NpScriptable::hasMethod(NPObject *object, NPIdentifier name)
{
    auto *self = static_cast<NpScriptable *>(object);
    return self->mTarget && self->mInterface->hasMethod(NpBrowser::identifierName(name));
}

bool NpScriptable::invoke(NPObject *object, NPIdentifier name, const NPVariant *args, uint32_t argCount,
                          NPVariant *result)
{
    auto *self = static_cast<NpScriptable *>(object);
    const QByteArray methodName = NpBrowser::identifierName(name);
    const QMetaMethod method = self->mInterface->method(methodName, static_cast<int>(argCount));
    if (!self->mTarget || !method.isValid()) {
        qWarning() << "npVelIn: no method" << methodName << "taking" << argCount << "arguments";
        return false;
    }

    // QMetaMethod::invoke takes at most ten arguments; keep the converted values alive until the call.
    std::array<QGenericArgument, 10> arguments;
    QVariantList values;
    for (int i = 0; i < method.parameterCount() && i < int(arguments.size()); ++i) {
        QVariant value = NpBrowser::toVariant(args[i]);
        if (!value.convert(method.parameterType(i))) {
            qWarning() << "npVelIn: argument" << i << "of" << methodName << "has the wrong type";
            return false;
        }
        values.append(value);
    }
    for (int i = 0; i < values.size(); ++i)
        arguments[i] = QGenericArgument(values[i].typeName(), values[i].constData());

    QVariant returned;
    if (method.returnType() != QMetaType::Void)
        returned = QVariant(method.returnType(), nullptr);
    const QGenericReturnArgument returnArgument(method.typeName(), returned.isValid() ? returned.data() : nullptr);
    const bool invoked = method.invoke(self->mTarget, Qt::DirectConnection, returnArgument, arguments[0],
                                       arguments[1], arguments[2], arguments[3], arguments[4], arguments[5],
                                       arguments[6], arguments[7], arguments[8], arguments[9]);
    // The call may have run a nested event loop (the about box) in which the page went away.
    if (!invoked || !self->mTarget)
        return invoked;
    NpBrowser::fromVariant(returned, result);
    if (self->mChanged)
        self->mChanged();
    return true;
}

bool NpScriptable::invokeDefault(NPObject *, const NPVariant *, uint32_t, NPVariant *)
{
    return false;
}

bool NpScriptable::hasProperty(NPObject *object, NPIdentifier name)
{
    auto *self = static_cast<NpScriptable *>(object);
    return self->mTarget && self->mInterface->property(NpBrowser::identifierName(name)).isValid();
}

bool NpScriptable::getProperty(NPObject *object, NPIdentifier name, NPVariant *result)
{
    auto *self = static_cast<NpScriptable *>(object);
    const QMetaProperty property = self->mInterface->property(NpBrowser::identifierName(name));
    if (!self->mTarget || !property.isReadable())
        return false;
    NpBrowser::fromVariant(property.read(self->mTarget), result);
    return true;
}

bool NpScriptable::setProperty(NPObject *object, NPIdentifier name, const NPVariant *value)
{
    auto *self = static_cast<NpScriptable *>(object);
    const QByteArray propertyName = NpBrowser::identifierName(name);
    const QMetaProperty property = self->mInterface->property(propertyName);
    if (!self->mTarget || !property.isWritable())
        return false;
    QVariant converted = NpBrowser::toVariant(*value);
    if (!converted.convert(property.userType()) || !property.write(self->mTarget, converted)) {
        qWarning() << "npVelIn: cannot set the property" << propertyName;
        return false;
    }
    if (self->mChanged)
        self->mChanged();
    return true;
}

bool NpScriptable::removeProperty(NPObject *, NPIdentifier)
{
    return false;
}
