// The library's exports for browsers of the NPAPI family: the plug-in's
// identity, and the table of functions through which the browser creates,
// places, paints and scripts the embedded controls.

#include "npapi.h"
#include "npbrowser.h"
#include "npinstance.h"
#include "velin.h"

#include <QApplication>
#include <QDebug>
#include <QMetaClassInfo>

#include <memory>

#define NPVELIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const char pluginName[] = "VelIn";
const char pluginDescription[] = "Velamaris Plugin";

// Set when the browser is not a Qt program and the plug-in brought its own application object.
QApplication *gOwnApplication = nullptr;
int gInstances = 0;

const QByteArray &mimeDescription()
{
    static const QByteArray description =
        VelIn::staticMetaObject.classInfo(VelIn::staticMetaObject.indexOfClassInfo("MIME")).value();
    return description;
}

bool isOurType(const char *type)
{
    // Browsers hand the type over lower-cased.
    return type && qstricmp(mimeDescription().split(':').value(0).constData(), type) == 0;
}

bool ensureApplication()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        return true;
    if (QCoreApplication::instance()) {
        qWarning() << "npVelIn: the browser runs Qt without widgets; the control cannot be shown";
        return false;
    }
    static int argc = 1;
    static char name[] = "npVelIn";
    static char *argv[] = {name, nullptr};
    gOwnApplication = new QApplication(argc, argv);
    return true;
}

NpInstance *instanceOf(NPP npp)
{
    return npp ? static_cast<NpInstance *>(npp->pdata) : nullptr;
}

NPError newInstance(NPMIMEType type, NPP npp, uint16_t, int16_t, char *[], char *[], NPSavedData *)
{
    if (!npp)
        return NPERR_INVALID_INSTANCE_ERROR;
    if (!isOurType(type)) {
        qWarning() << "npVelIn: asked for the content type" << type;
        return NPERR_INVALID_PARAM;
    }
    const NPNetscapeFuncs *browser = NpBrowser::functions();
    NPBool windowless = false;
    if (browser->getvalue(npp, NPNVSupportsWindowless, &windowless) != NPERR_NO_ERROR || !windowless) {
        qWarning() << "npVelIn: the browser does not offer windowless plug-ins";
        return NPERR_INCOMPATIBLE_VERSION_ERROR;
    }
    if (browser->setvalue(npp, NPPVpluginWindowBool, nullptr) != NPERR_NO_ERROR) {
        qWarning() << "npVelIn: the browser refused a windowless plug-in";
        return NPERR_INCOMPATIBLE_VERSION_ERROR;
    }
    if (!ensureApplication())
        return NPERR_MODULE_LOAD_FAILED_ERROR;
    npp->pdata = new NpInstance(npp, std::make_unique<VelIn>());
    ++gInstances;
    return NPERR_NO_ERROR;
}

NPError destroyInstance(NPP npp, NPSavedData **save)
{
    NpInstance *instance = instanceOf(npp);
    if (!instance)
        return NPERR_INVALID_INSTANCE_ERROR;
    npp->pdata = nullptr;
    NpInstance::destroy(instance);
    --gInstances;
    if (save)
        *save = nullptr;
    return NPERR_NO_ERROR;
}

NPError setWindow(NPP npp, NPWindow *window)
{
    NpInstance *instance = instanceOf(npp);
    if (!instance)
        return NPERR_INVALID_INSTANCE_ERROR;
    if (window)
        instance->setWindow(*window);
    return NPERR_NO_ERROR;
}

int16_t handleEvent(NPP npp, void *event)
{
    NpInstance *instance = instanceOf(npp);
    if (!instance || !event)
        return false;
    const NpInstance::CallGuard guard(instance);
    return instance->handleEvent(event);
}

NPError identity(NPPVariable variable, void *value)
{
    switch (variable) {
    case NPPVpluginNameString:
        *static_cast<const char **>(value) = pluginName;
        return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
        *static_cast<const char **>(value) = pluginDescription;
        return NPERR_NO_ERROR;
    default:
        return NPERR_INVALID_PARAM;
    }
}

NPError getValue(NPP npp, NPPVariable variable, void *value)
{
    if (!value)
        return NPERR_INVALID_PARAM;
    switch (variable) {
    case NPPVpluginNeedsXEmbed:
        *static_cast<NPBool *>(value) = false;
        return NPERR_NO_ERROR;
    case NPPVpluginScriptableNPObject: {
        NpInstance *instance = instanceOf(npp);
        if (!instance)
            return NPERR_INVALID_INSTANCE_ERROR;
        NPObject *object = instance->scriptableObject();
        *static_cast<NPObject **>(value) = object;
        return object ? NPERR_NO_ERROR : NPERR_OUT_OF_MEMORY_ERROR;
    }
    default:
        return identity(variable, value);
    }
}

NPError setValue(NPP, NPNVariable, void *)
{
    return NPERR_GENERIC_ERROR;
}

// The control takes no data: streams are accepted and dropped.
NPError newStream(NPP, NPMIMEType, NPStream *, NPBool, uint16_t *stype)
{
    if (stype)
        *stype = NP_NORMAL;
    return NPERR_NO_ERROR;
}

NPError destroyStream(NPP, NPStream *, NPReason)
{
    return NPERR_NO_ERROR;
}

void streamAsFile(NPP, NPStream *, const char *) {}

int32_t writeReady(NPP, NPStream *)
{
    return 0x0fffffff;
}

int32_t write(NPP, NPStream *, int32_t, int32_t length, void *)
{
    return length;
}

void print(NPP, void *) {}

void urlNotify(NPP, const char *, NPReason, void *) {}

void fillPluginFunctions(NPPluginFuncs *functions)
{
    functions->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    functions->newp = newInstance;
    functions->destroy = destroyInstance;
    functions->setwindow = setWindow;
    functions->newstream = newStream;
    functions->destroystream = destroyStream;
    functions->asfile = streamAsFile;
    functions->writeready = writeReady;
    functions->write = write;
    functions->print = print;
    functions->event = handleEvent;
    functions->urlnotify = urlNotify;
    functions->javaClass = nullptr;
    functions->getvalue = getValue;
    functions->setvalue = setValue;
}

} // namespace

NPVELIN_EXPORT const char *NP_GetMIMEDescription()
{
    return mimeDescription().constData();
}

NPVELIN_EXPORT NPError NP_GetValue(void *, NPPVariable variable, void *value)
{
    return value ? identity(variable, value) : NPERR_INVALID_PARAM;
}

NPVELIN_EXPORT NPError NP_GetEntryPoints(NPPluginFuncs *functions)
{
    if (!functions || functions->size < sizeof(NPPluginFuncs))
        return NPERR_INVALID_FUNCTABLE_ERROR;
    fillPluginFunctions(functions);
    return NPERR_NO_ERROR;
}

NPVELIN_EXPORT NPError NP_Initialize(NPNetscapeFuncs *browserFunctions, NPPluginFuncs *pluginFunctions)
{
    if (!NpBrowser::setFunctions(browserFunctions))
        return NPERR_INVALID_FUNCTABLE_ERROR;
    // Hosts of Windows and macOS fetch the table through NP_GetEntryPoints instead.
    return pluginFunctions ? NP_GetEntryPoints(pluginFunctions) : NPERR_NO_ERROR;
}

NPVELIN_EXPORT NPError NP_Shutdown()
{
    if (gInstances == 0) {
        delete gOwnApplication;
        gOwnApplication = nullptr;
    }
    return NPERR_NO_ERROR;
}
