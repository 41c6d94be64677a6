#include "npbrowser.h"

#include <QDebug>

#include <cstddef>
#include <cstring>

namespace {

NPNetscapeFuncs gFunctions;

} // namespace

bool NpBrowser::setFunctions(const NPNetscapeFuncs *functions)
{
    if (!functions) {
        qWarning() << "npVelIn: no browser functions";
        return false;
    }
    if ((functions->version >> 8) > NP_VERSION_MAJOR) {
        qWarning() << "npVelIn: browser interface version" << functions->version << "is not supported";
        return false;
    }
    const size_t needed = offsetof(NPNetscapeFuncs, setexception) + sizeof(functions->setexception);
    if (functions->size < needed) {
        qWarning() << "npVelIn: browser function table too short:" << functions->size << "bytes";
        return false;
    }
    std::memcpy(&gFunctions, functions, sizeof(gFunctions));
    return true;
}

const NPNetscapeFuncs *NpBrowser::functions()
{
    return &gFunctions;
}

QByteArray NpBrowser::identifierName(NPIdentifier identifier)
{
    if (!gFunctions.identifierisstring(identifier))
        return QByteArray();
    NPUTF8 *name = gFunctions.utf8fromidentifier(identifier);
    const QByteArray result(name);
    gFunctions.memfree(name);
    return result;
}

QVariant NpBrowser::toVariant(const NPVariant &value)
{
    switch (value.type) {
    case NPVariantType_Bool:
        return value.value.boolValue;
    case NPVariantType_Int32:
        return value.value.intValue;
    case NPVariantType_Double:
        return value.value.doubleValue;
    case NPVariantType_String:
        return QString::fromUtf8(value.value.stringValue.UTF8Characters,
                                 static_cast<int>(value.value.stringValue.UTF8Length));
    default:
        return QVariant();
    }
}

void NpBrowser::fromVariant(const QVariant &value, NPVariant *result)
{
    result->type = NPVariantType_Void;
    switch (static_cast<QMetaType::Type>(value.type())) {
    case QMetaType::UnknownType:
        return;
    case QMetaType::Bool:
        result->type = NPVariantType_Bool;
        result->value.boolValue = value.toBool();
        return;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        result->type = NPVariantType_Int32;
        result->value.intValue = value.toInt();
        return;
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        result->type = NPVariantType_Double;
        result->value.doubleValue = value.toDouble();
        return;
    default:
        break;
    }
    if (!value.canConvert<QString>())
        return;
    const QByteArray text = value.toString().toUtf8();
    auto *copy = static_cast<NPUTF8 *>(gFunctions.memalloc(static_cast<uint32_t>(text.size())));
    if (!copy && !text.isEmpty())
        return;
    if (copy)
        std::memcpy(copy, text.constData(), static_cast<size_t>(text.size()));
    result->type = NPVariantType_String;
    result->value.stringValue.UTF8Characters = copy;
    result->value.stringValue.UTF8Length = static_cast<uint32_t>(text.size());
}

NPVariant NpBrowser::stringArgument(const QByteArray &text)
{
    NPVariant argument;
    argument.type = NPVariantType_String;
    argument.value.stringValue.UTF8Characters = text.constData();
    argument.value.stringValue.UTF8Length = static_cast<uint32_t>(text.size());
    return argument;
}

NPVariant NpBrowser::objectArgument(NPObject *object)
{
    NPVariant argument;
    argument.type = NPVariantType_Object;
    argument.value.objectValue = object;
    return argument;
}
