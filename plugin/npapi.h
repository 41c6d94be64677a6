#pragma once

// The part of the Netscape plug-in interface (NPAPI) that npVelIn uses, as
// browsers of that family call it on Unix-like systems with X11. The layouts
// are the public, stable C interface; only what the plug-in needs is named,
// and the tables are declared up to the last entry it reads.

#include <stdint.h>

extern "C" {

typedef unsigned char NPBool;
typedef int16_t NPError;
typedef int16_t NPReason;
typedef char *NPMIMEType;
typedef char NPUTF8;
typedef void *NPIdentifier;

constexpr NPError NPERR_NO_ERROR = 0;
constexpr NPError NPERR_GENERIC_ERROR = 1;
constexpr NPError NPERR_INVALID_INSTANCE_ERROR = 2;
constexpr NPError NPERR_INVALID_FUNCTABLE_ERROR = 3;
constexpr NPError NPERR_MODULE_LOAD_FAILED_ERROR = 4;
constexpr NPError NPERR_OUT_OF_MEMORY_ERROR = 5;
constexpr NPError NPERR_INCOMPATIBLE_VERSION_ERROR = 8;
constexpr NPError NPERR_INVALID_PARAM = 9;

constexpr uint16_t NP_EMBED = 1;
constexpr uint16_t NP_NORMAL = 1; // stream type: delivered through NPP_Write
constexpr int NP_VERSION_MAJOR = 0;
constexpr int NP_VERSION_MINOR = 27;

typedef struct _NPP {
    void *pdata; // the plug-in's
    void *ndata; // the browser's
} NPP_t;
typedef NPP_t *NPP;

typedef struct _NPStream {
    void *pdata;
    void *ndata;
    const char *url;
    uint32_t end;
    uint32_t lastmodified;
    void *notifyData;
    const char *headers;
} NPStream;

typedef struct _NPSavedData {
    int32_t len;
    void *buf;
} NPSavedData;

typedef struct _NPRect {
    uint16_t top;
    uint16_t left;
    uint16_t bottom;
    uint16_t right;
} NPRect;

typedef enum { NPWindowTypeWindow = 1, NPWindowTypeDrawable } NPWindowType;

typedef struct _NPWindow {
    void *window; // an X window id (windowed) or nothing (windowless)
    int32_t x;    // position in the drawable of a windowless plug-in
    int32_t y;
    uint32_t width;
    uint32_t height;
    NPRect clipRect;
    void *ws_info; // NPSetWindowCallbackStruct on X11
    NPWindowType type;
} NPWindow;

typedef enum {
    NPPVpluginNameString = 1,
    NPPVpluginDescriptionString = 2,
    NPPVpluginWindowBool = 3,
    NPPVpluginTransparentBool = 4,
    NPPVpluginNeedsXEmbed = 14,
    NPPVpluginScriptableNPObject = 15,
} NPPVariable;

typedef enum {
    NPNVxDisplay = 1,
    NPNVSupportsXEmbedBool = 14,
    NPNVWindowNPObject = 15,
    NPNVPluginElementNPObject = 16,
    NPNVSupportsWindowless = 17,
} NPNVariable;

// Scripting.
struct NPObject;
struct NPClass;

typedef struct _NPString {
    const NPUTF8 *UTF8Characters;
    uint32_t UTF8Length;
} NPString;

typedef enum {
    NPVariantType_Void,
    NPVariantType_Null,
    NPVariantType_Bool,
    NPVariantType_Int32,
    NPVariantType_Double,
    NPVariantType_String,
    NPVariantType_Object
} NPVariantType;

typedef struct _NPVariant {
    NPVariantType type;
    union {
        bool boolValue;
        int32_t intValue;
        double doubleValue;
        NPString stringValue;
        NPObject *objectValue;
    } value;
} NPVariant;

typedef NPObject *(*NPAllocateFunctionPtr)(NPP npp, NPClass *aClass);
typedef void (*NPDeallocateFunctionPtr)(NPObject *npobj);
typedef void (*NPInvalidateFunctionPtr)(NPObject *npobj);
typedef bool (*NPHasMethodFunctionPtr)(NPObject *npobj, NPIdentifier name);
typedef bool (*NPInvokeFunctionPtr)(NPObject *npobj, NPIdentifier name, const NPVariant *args, uint32_t argCount,
                                    NPVariant *result);
typedef bool (*NPInvokeDefaultFunctionPtr)(NPObject *npobj, const NPVariant *args, uint32_t argCount,
                                           NPVariant *result);
typedef bool (*NPHasPropertyFunctionPtr)(NPObject *npobj, NPIdentifier name);
typedef bool (*NPGetPropertyFunctionPtr)(NPObject *npobj, NPIdentifier name, NPVariant *result);
typedef bool (*NPSetPropertyFunctionPtr)(NPObject *npobj, NPIdentifier name, const NPVariant *value);
typedef bool (*NPRemovePropertyFunctionPtr)(NPObject *npobj, NPIdentifier name);
typedef bool (*NPEnumerationFunctionPtr)(NPObject *npobj, NPIdentifier **value, uint32_t *count);
typedef bool (*NPConstructFunctionPtr)(NPObject *npobj, const NPVariant *args, uint32_t argCount,
                                       NPVariant *result);

enum { NP_CLASS_STRUCT_VERSION = 3 };

struct NPClass {
    uint32_t structVersion;
    NPAllocateFunctionPtr allocate;
    NPDeallocateFunctionPtr deallocate;
    NPInvalidateFunctionPtr invalidate;
    NPHasMethodFunctionPtr hasMethod;
    NPInvokeFunctionPtr invoke;
    NPInvokeDefaultFunctionPtr invokeDefault;
    NPHasPropertyFunctionPtr hasProperty;
    NPGetPropertyFunctionPtr getProperty;
    NPSetPropertyFunctionPtr setProperty;
    NPRemovePropertyFunctionPtr removeProperty;
    NPEnumerationFunctionPtr enumerate;
    NPConstructFunctionPtr construct;
};

struct NPObject {
    NPClass *_class;
    uint32_t referenceCount;
};

// Functions the plug-in offers the browser.
typedef NPError (*NPP_NewProcPtr)(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc, char *argn[],
                                  char *argv[], NPSavedData *saved);
typedef NPError (*NPP_DestroyProcPtr)(NPP instance, NPSavedData **save);
typedef NPError (*NPP_SetWindowProcPtr)(NPP instance, NPWindow *window);
typedef NPError (*NPP_NewStreamProcPtr)(NPP instance, NPMIMEType type, NPStream *stream, NPBool seekable,
                                        uint16_t *stype);
typedef NPError (*NPP_DestroyStreamProcPtr)(NPP instance, NPStream *stream, NPReason reason);
typedef void (*NPP_StreamAsFileProcPtr)(NPP instance, NPStream *stream, const char *fname);
typedef int32_t (*NPP_WriteReadyProcPtr)(NPP instance, NPStream *stream);
typedef int32_t (*NPP_WriteProcPtr)(NPP instance, NPStream *stream, int32_t offset, int32_t len, void *buffer);
typedef void (*NPP_PrintProcPtr)(NPP instance, void *platformPrint);
typedef int16_t (*NPP_HandleEventProcPtr)(NPP instance, void *event);
typedef void (*NPP_URLNotifyProcPtr)(NPP instance, const char *url, NPReason reason, void *notifyData);
typedef NPError (*NPP_GetValueProcPtr)(NPP instance, NPPVariable variable, void *ret_value);
typedef NPError (*NPP_SetValueProcPtr)(NPP instance, NPNVariable variable, void *value);

typedef struct _NPPluginFuncs {
    uint16_t size;
    uint16_t version;
    NPP_NewProcPtr newp;
    NPP_DestroyProcPtr destroy;
    NPP_SetWindowProcPtr setwindow;
    NPP_NewStreamProcPtr newstream;
    NPP_DestroyStreamProcPtr destroystream;
    NPP_StreamAsFileProcPtr asfile;
    NPP_WriteReadyProcPtr writeready;
    NPP_WriteProcPtr write;
    NPP_PrintProcPtr print;
    NPP_HandleEventProcPtr event;
    NPP_URLNotifyProcPtr urlnotify;
    void *javaClass;
    NPP_GetValueProcPtr getvalue;
    NPP_SetValueProcPtr setvalue;
} NPPluginFuncs;

// Functions the browser offers the plug-in, in the browser's table order.
typedef struct _NPNetscapeFuncs {
    uint16_t size;
    uint16_t version;
    void *geturl;
    void *posturl;
    void *requestread;
    void *newstream;
    void *write;
    void *destroystream;
    void *status;
    void *uagent;
    void *(*memalloc)(uint32_t size);
    void (*memfree)(void *ptr);
    void *memflush;
    void *reloadplugins;
    void *getJavaEnv;
    void *getJavaPeer;
    void *geturlnotify;
    void *posturlnotify;
    NPError (*getvalue)(NPP instance, NPNVariable variable, void *value);
    NPError (*setvalue)(NPP instance, NPPVariable variable, void *value);
    void (*invalidaterect)(NPP instance, NPRect *rect);
    void *invalidateregion;
    void *forceredraw;
    NPIdentifier (*getstringidentifier)(const NPUTF8 *name);
    void *getstringidentifiers;
    void *getintidentifier;
    bool (*identifierisstring)(NPIdentifier identifier);
    NPUTF8 *(*utf8fromidentifier)(NPIdentifier identifier);
    void *intfromidentifier;
    NPObject *(*createobject)(NPP npp, NPClass *aClass);
    NPObject *(*retainobject)(NPObject *obj);
    void (*releaseobject)(NPObject *obj);
    bool (*invoke)(NPP npp, NPObject *obj, NPIdentifier methodName, const NPVariant *args, uint32_t argCount,
                   NPVariant *result);
    bool (*invokeDefault)(NPP npp, NPObject *obj, const NPVariant *args, uint32_t argCount, NPVariant *result);
    bool (*evaluate)(NPP npp, NPObject *obj, NPString *script, NPVariant *result);
    bool (*getproperty)(NPP npp, NPObject *obj, NPIdentifier propertyName, NPVariant *result);
    bool (*setproperty)(NPP npp, NPObject *obj, NPIdentifier propertyName, const NPVariant *value);
    void *removeproperty;
    void *hasproperty;
    void *hasmethod;
    void (*releasevariantvalue)(NPVariant *variant);
    void (*setexception)(NPObject *obj, const NPUTF8 *message);
} NPNetscapeFuncs;

} // extern "C"
