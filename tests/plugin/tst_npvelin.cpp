// npVelIn as a browser sees it: a test host loads the library with dlopen,
// hands it a browser function table and drives an embedded object through
// the plug-in interface, with no Qt application of its own (as a browser that
// is not a Qt program).

#include "npapi.h"

#include <QApplication>
#include <QByteArray>
#include <QHash>
#include <QTest>
#include <QTimer>

#include <dlfcn.h>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// The browser's side, as small as the plug-in allows.
struct Host {
    QHash<QByteArray, QByteArray *> identifiers;
    bool windowless = false;
    int invalidations = 0;
};
Host *host = nullptr;

NPIdentifier getStringIdentifier(const NPUTF8 *name)
{
    QByteArray *&interned = host->identifiers[QByteArray(name)];
    if (!interned)
        interned = new QByteArray(name);
    return interned;
}

NPUTF8 *utf8FromIdentifier(NPIdentifier identifier)
{
    return strdup(static_cast<QByteArray *>(identifier)->constData());
}

bool identifierIsString(NPIdentifier)
{
    return true;
}

NPObject *createObject(NPP npp, NPClass *aClass)
{
    NPObject *object = aClass->allocate ? aClass->allocate(npp, aClass) : new NPObject;
    object->_class = aClass;
    object->referenceCount = 1;
    return object;
}

NPObject *retainObject(NPObject *object)
{
    ++object->referenceCount;
    return object;
}

void releaseObject(NPObject *object)
{
    if (--object->referenceCount == 0)
        object->_class->deallocate(object);
}

void releaseVariantValue(NPVariant *variant)
{
    if (variant->type == NPVariantType_String)
        std::free(const_cast<NPUTF8 *>(variant->value.stringValue.UTF8Characters));
    else if (variant->type == NPVariantType_Object)
        releaseObject(variant->value.objectValue);
    variant->type = NPVariantType_Void;
}

NPError getValue(NPP, NPNVariable variable, void *value)
{
    if (variable != NPNVSupportsWindowless)
        return NPERR_GENERIC_ERROR;
    *static_cast<NPBool *>(value) = true;
    return NPERR_NO_ERROR;
}

NPError setValue(NPP, NPPVariable variable, void *value)
{
    if (variable == NPPVpluginWindowBool)
        host->windowless = value == nullptr;
    return NPERR_NO_ERROR;
}

void invalidateRect(NPP, NPRect *)
{
    ++host->invalidations;
}

NPVariant string(const char *text)
{
    NPVariant variant;
    variant.type = NPVariantType_String;
    variant.value.stringValue = {text, static_cast<uint32_t>(std::strlen(text))};
    return variant;
}

} // namespace

class TestNpVelIn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void publishesIdentity();
    void createsOnlyItsContentType_data();
    void createsOnlyItsContentType();
    void scriptsTheControl();
    void destroyDuringAboutBoxWaitsForTheCall();
    void cleanupTestCase();

private:
    NPObject *newScriptableInstance(NPP_t *npp);
    QString readText(NPObject *object);

    void *mLibrary = nullptr;
    NPNetscapeFuncs mBrowser = {};
    NPPluginFuncs mPlugin = {};
};

void TestNpVelIn::initTestCase()
{
    host = new Host;
    const QByteArray path = qgetenv("VELAMARIS_BIN_DIR") + "/plugins/npVelIn.so";
    mLibrary = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(mLibrary, dlerror());

    mBrowser.size = sizeof(mBrowser);
    mBrowser.version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    mBrowser.memalloc = [](uint32_t size) { return std::malloc(size ? size : 1); };
    mBrowser.memfree = std::free;
    mBrowser.getvalue = getValue;
    mBrowser.setvalue = setValue;
    mBrowser.invalidaterect = invalidateRect;
    mBrowser.getstringidentifier = getStringIdentifier;
    mBrowser.identifierisstring = identifierIsString;
    mBrowser.utf8fromidentifier = utf8FromIdentifier;
    mBrowser.createobject = createObject;
    mBrowser.retainobject = retainObject;
    mBrowser.releaseobject = releaseObject;
    mBrowser.releasevariantvalue = releaseVariantValue;
    mPlugin.size = sizeof(mPlugin);
    auto initialize = reinterpret_cast<NPError (*)(NPNetscapeFuncs *, NPPluginFuncs *)>(
        dlsym(mLibrary, "NP_Initialize"));
    QVERIFY(initialize);
    QCOMPARE(initialize(&mBrowser, &mPlugin), NPERR_NO_ERROR);
    QVERIFY(mPlugin.newp && mPlugin.destroy && mPlugin.setwindow && mPlugin.event && mPlugin.getvalue);
}

void TestNpVelIn::publishesIdentity()
{
    auto mime = reinterpret_cast<const char *(*)()>(dlsym(mLibrary, "NP_GetMIMEDescription"));
    auto value = reinterpret_cast<NPError (*)(void *, NPPVariable, void *)>(dlsym(mLibrary, "NP_GetValue"));
    QVERIFY(mime && value && dlsym(mLibrary, "NP_Shutdown") && dlsym(mLibrary, "NP_GetEntryPoints"));
    QCOMPARE(QByteArray(mime()), QByteArray("VelIn/very:xxx:VelIn"));
    const char *name = nullptr;
    const char *description = nullptr;
    QCOMPARE(value(nullptr, NPPVpluginNameString, &name), NPERR_NO_ERROR);
    QCOMPARE(value(nullptr, NPPVpluginDescriptionString, &description), NPERR_NO_ERROR);
    QCOMPARE(QByteArray(name), QByteArray("VelIn"));
    QCOMPARE(QByteArray(description), QByteArray("Velamaris Plugin"));
}

void TestNpVelIn::createsOnlyItsContentType_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<int>("error");
    QTest::newRow("lower-cased, as browsers pass it") << QByteArray("velin/very") << int(NPERR_NO_ERROR);
    QTest::newRow("as registered") << QByteArray("VelIn/very") << int(NPERR_NO_ERROR);
    QTest::newRow("another type") << QByteArray("application/x-other") << int(NPERR_INVALID_PARAM);
}

void TestNpVelIn::createsOnlyItsContentType()
{
    QFETCH(QByteArray, type);
    QFETCH(int, error);
    host->windowless = false;
    NPP_t npp = {};
    QCOMPARE(int(mPlugin.newp(type.data(), &npp, NP_EMBED, 0, nullptr, nullptr, nullptr)), error);
    if (error != NPERR_NO_ERROR) {
        QVERIFY(!npp.pdata);
        return;
    }
    QVERIFY2(host->windowless, "the control asks to be windowless, the one way browsers host it");
    QCOMPARE(mPlugin.destroy(&npp, nullptr), NPERR_NO_ERROR);
}

void TestNpVelIn::scriptsTheControl()
{
    NPP_t npp = {};
    NPObject *object = newScriptableInstance(&npp);
    QVERIFY(object);
    NPClass *scriptable = object->_class;
    const auto id = getStringIdentifier;

    // The engine asks for a property first: only "text" is one; only the slots are methods.
    QVERIFY(scriptable->hasProperty(object, id("text")));
    QVERIFY(!scriptable->hasMethod(object, id("text")));
    for (const char *slot : {"setText", "about"}) {
        QVERIFY2(scriptable->hasMethod(object, id(slot)), slot);
        QVERIFY2(!scriptable->hasProperty(object, id(slot)), slot);
    }
    // QWidget's own members stay hidden.
    QVERIFY(!scriptable->hasMethod(object, id("show")));
    QVERIFY(!scriptable->hasProperty(object, id("windowTitle")));

    QCOMPARE(readText(object), QString("Empty"));
    const int invalidations = host->invalidations;
    NPVariant value = string("Harbour \xe2\x9a\x93");
    QVERIFY(scriptable->setProperty(object, id("text"), &value));
    QCOMPARE(readText(object), QString::fromUtf8("Harbour \xe2\x9a\x93"));
    QVERIFY2(host->invalidations > invalidations, "a new text asks the browser to repaint");

    NPVariant result;
    value = string("Quay");
    QVERIFY(scriptable->invoke(object, id("setText"), &value, 1, &result));
    QCOMPARE(result.type, NPVariantType_Void);
    QCOMPARE(readText(object), QString("Quay"));
    NPVariant number;
    number.type = NPVariantType_Int32;
    number.value.intValue = 42;
    QVERIFY(scriptable->invoke(object, id("setText"), &number, 1, &result));
    QCOMPARE(readText(object), QString("42"));
    QVERIFY2(!scriptable->invoke(object, id("setText"), nullptr, 0, &result), "setText needs its argument");
    QVERIFY(!scriptable->invoke(object, id("show"), nullptr, 0, &result));

    // A page may keep the object after the control is gone: it then answers nothing.
    QCOMPARE(mPlugin.destroy(&npp, nullptr), NPERR_NO_ERROR);
    QVERIFY(!scriptable->hasProperty(object, id("text")));
    QVERIFY(!scriptable->getProperty(object, id("text"), &result));
    QVERIFY(!scriptable->invoke(object, id("setText"), &value, 1, &result));
    releaseObject(object);
}

void TestNpVelIn::destroyDuringAboutBoxWaitsForTheCall()
{
    NPP_t npp = {};
    NPObject *object = newScriptableInstance(&npp);
    QVERIFY(object);
    // The page goes away while the about box runs its event loop inside the call.
    bool destroyed = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        destroyed = mPlugin.destroy(&npp, nullptr) == NPERR_NO_ERROR;
        box->close();
    });
    closer.start(20);
    NPVariant result;
    QVERIFY(object->_class->invoke(object, getStringIdentifier("about"), nullptr, 0, &result));
    QVERIFY(destroyed);
    QVERIFY(!object->_class->hasMethod(object, getStringIdentifier("about")));
    releaseObject(object);
}

void TestNpVelIn::cleanupTestCase()
{
    auto shutdown = reinterpret_cast<NPError (*)()>(dlsym(mLibrary, "NP_Shutdown"));
    QCOMPARE(shutdown(), NPERR_NO_ERROR);
}

NPObject *TestNpVelIn::newScriptableInstance(NPP_t *npp)
{
    char type[] = "velin/very";
    if (mPlugin.newp(type, npp, NP_EMBED, 0, nullptr, nullptr, nullptr) != NPERR_NO_ERROR)
        return nullptr;
    NPWindow window = {};
    window.width = 200;
    window.height = 80;
    window.type = NPWindowTypeDrawable;
    mPlugin.setwindow(npp, &window);
    NPObject *object = nullptr;
    if (mPlugin.getvalue(npp, NPPVpluginScriptableNPObject, &object) != NPERR_NO_ERROR)
        return nullptr;
    return object;
}

QString TestNpVelIn::readText(NPObject *object)
{
    NPVariant result;
    if (!object->_class->getProperty(object, getStringIdentifier("text"), &result)
        || result.type != NPVariantType_String)
        return QStringLiteral("<no text>");
    const QString text = QString::fromUtf8(result.value.stringValue.UTF8Characters,
                                           int(result.value.stringValue.UTF8Length));
    releaseVariantValue(&result);
    return text;
}

QTEST_APPLESS_MAIN(TestNpVelIn)
#include "tst_npvelin.moc"
