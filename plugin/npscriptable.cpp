#include "npscriptable.h"

#include "npbrowser.h"
#include "npinstance.h"

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

NpScriptable *NpScriptable::create(NPP npp, NpInstance *instance)
{
    auto *object = static_cast<NpScriptable *>(NpBrowser::functions()->createobject(npp, &sClass));
    if (!object)
        return nullptr;
    object->mInstance = instance;
    object->mInterface = new ScriptInterface(instance->control()->metaObject());
    return object;
}

void NpScriptable::detach()
{
    mInstance = nullptr;
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
    static_cast<NpScriptable *>(object)->detach();
}

bool NpScriptable::hasMethod(NPObject *object, NPIdentifier name)
{
    auto *self = static_cast<NpScriptable *>(object);
    return self->mInstance && self->mInterface->hasMethod(NpBrowser::identifierName(name));
}

bool NpScriptable::invoke(NPObject *object, NPIdentifier name, const NPVariant *args, uint32_t argCount,
                          NPVariant *result)
{
    auto *self = static_cast<NpScriptable *>(object);
    const QByteArray methodName = NpBrowser::identifierName(name);
    const QMetaMethod method = self->mInterface->method(methodName, static_cast<int>(argCount));
    if (!self->mInstance || !method.isValid()) {
        qWarning() << "npVelIn: no method" << methodName << "taking" << argCount << "arguments";
        return false;
    }
    NpInstance *instance = self->mInstance;
    const NpInstance::CallGuard guard(instance);

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
    const bool invoked = method.invoke(instance->control(), Qt::DirectConnection, returnArgument, arguments[0],
                                       arguments[1], arguments[2], arguments[3], arguments[4], arguments[5],
                                       arguments[6], arguments[7], arguments[8], arguments[9]);
    if (!invoked)
        return false;
    NpBrowser::fromVariant(returned, result);
    instance->repaint();
    return true;
}

bool NpScriptable::invokeDefault(NPObject *, const NPVariant *, uint32_t, NPVariant *)
{
    return false;
}

bool NpScriptable::hasProperty(NPObject *object, NPIdentifier name)
{
    auto *self = static_cast<NpScriptable *>(object);
    return self->mInstance && self->mInterface->property(NpBrowser::identifierName(name)).isValid();
}

bool NpScriptable::getProperty(NPObject *object, NPIdentifier name, NPVariant *result)
{
    auto *self = static_cast<NpScriptable *>(object);
    const QMetaProperty property = self->mInterface->property(NpBrowser::identifierName(name));
    if (!self->mInstance || !property.isReadable())
        return false;
    NpBrowser::fromVariant(property.read(self->mInstance->control()), result);
    return true;
}

bool NpScriptable::setProperty(NPObject *object, NPIdentifier name, const NPVariant *value)
{
    auto *self = static_cast<NpScriptable *>(object);
    const QByteArray propertyName = NpBrowser::identifierName(name);
    const QMetaProperty property = self->mInterface->property(propertyName);
    if (!self->mInstance || !property.isWritable())
        return false;
    QVariant converted = NpBrowser::toVariant(*value);
    if (!converted.convert(property.userType()) || !property.write(self->mInstance->control(), converted)) {
        qWarning() << "npVelIn: cannot set the property" << propertyName;
        return false;
    }
    self->mInstance->repaint();
    return true;
}

bool NpScriptable::removeProperty(NPObject *, NPIdentifier)
{
    return false;
}
