#pragma once

#include "npapi.h"
#include "scriptinterface.h"

class NpInstance;

// The object a page's script gets for an embedded control: the control's
// public slots as methods and its properties as properties, through its
// meta-object. The page may keep it after the instance is gone; it then
// answers nothing.
class NpScriptable : public NPObject
{
public:
    // A new object with one reference, owned by the browser's reference count.
    static NpScriptable *create(NPP npp, NpInstance *instance);
    // The instance is going away.
    void detach();

private:
    NpScriptable();

    static NPClass sClass;
    static NPObject *allocate(NPP npp, NPClass *aClass);
    static void deallocate(NPObject *object);
    static void invalidate(NPObject *object);
    static bool hasMethod(NPObject *object, NPIdentifier name);
    static bool invoke(NPObject *object, NPIdentifier name, const NPVariant *args, uint32_t argCount,
                       NPVariant *result);
    static bool invokeDefault(NPObject *object, const NPVariant *args, uint32_t argCount, NPVariant *result);
    static bool hasProperty(NPObject *object, NPIdentifier name);
    static bool getProperty(NPObject *object, NPIdentifier name, NPVariant *result);
    static bool setProperty(NPObject *object, NPIdentifier name, const NPVariant *value);
    static bool removeProperty(NPObject *object, NPIdentifier name);

    NpInstance *mInstance = nullptr;
    ScriptInterface *mInterface = nullptr;
};
