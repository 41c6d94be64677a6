#include "npinstance.h"

#include "npbrowser.h"
#include "npscriptable.h"
#include "scriptinterface.h"
#include "signalrelay.h"
#include "x11host.h"

#include <QApplication>
#include <QDebug>
#include <QMouseEvent>

namespace {

// Raises a DOM event named after the signal on the embedding element; its
// detail carries the signal's arguments under their parameter names.
const char dispatcherScript[] =
    "(function (element, name) {"
    "  var detail = {};"
    "  for (var i = 2; i + 1 < arguments.length; i += 2) detail[arguments[i]] = arguments[i + 1];"
    "  element.dispatchEvent(new CustomEvent(name, { detail: detail }));"
    "})";

} // namespace

NpInstance::NpInstance(NPP npp, std::unique_ptr<QWidget> control)
    : mNpp(npp)
    , mControl(std::move(control))
{
    // Never shown: it renders into the browser's drawable, and a shown
    // top-level widget would keep a Qt host running after its last window closed.
    const ScriptInterface script(mControl->metaObject());
    mRelay = std::make_unique<SignalRelay>(mControl.get(), script.signalList(),
                                           [this](const QMetaMethod &signal, const QVariantList &arguments) {
                                               signalEmitted(signal, arguments);
                                           });
}

NpInstance::~NpInstance() = default;

void NpInstance::destroy(NpInstance *instance)
{
    const NPNetscapeFuncs *browser = NpBrowser::functions();
    instance->mDestroyed = true;
    if (instance->mDispatcher)
        browser->releaseobject(instance->mDispatcher);
    instance->mDispatcher = nullptr;
    if (instance->mScriptable) {
        instance->mScriptable->detach();
        browser->releaseobject(instance->mScriptable);
    }
    instance->mScriptable = nullptr;
    if (instance->mCalls == 0)
        delete instance;
}

NpInstance::CallGuard::CallGuard(NpInstance *instance)
    : mInstance(instance)
{
    ++mInstance->mCalls;
}

NpInstance::CallGuard::~CallGuard()
{
    if (--mInstance->mCalls == 0 && mInstance->mDestroyed)
        delete mInstance;
}

QWidget *NpInstance::control() const
{
    return mControl.get();
}

NPObject *NpInstance::scriptableObject()
{
    if (!mScriptable && !mDestroyed)
        mScriptable = NpScriptable::create(mNpp, this);
    if (!mScriptable)
        return nullptr;
    return NpBrowser::functions()->retainobject(mScriptable);
}

void NpInstance::setWindow(const NPWindow &window)
{
    mGeometry = QRect(window.x, window.y, static_cast<int>(window.width), static_cast<int>(window.height));
    mControl->resize(mGeometry.size());
}

bool NpInstance::handleEvent(void *event)
{
    const X11Host::Event x = X11Host::readEvent(event);
    // Pointer positions come relative to the control's top left corner.
    switch (x.kind) {
    case X11Host::Event::Exposure:
        paint(x.display, x.drawable, x.area);
        return true;
    case X11Host::Event::PointerPress:
        deliverMouse(QEvent::MouseButtonPress, x.position, x.button);
        return true;
    case X11Host::Event::PointerRelease:
        deliverMouse(QEvent::MouseButtonRelease, x.position, x.button);
        return true;
    case X11Host::Event::PointerMotion:
        deliverMouse(QEvent::MouseMove, x.position, Qt::NoButton);
        return true;
    case X11Host::Event::Other:
        break;
    }
    return false;
}

void NpInstance::paint(void *display, unsigned long drawable, const QRect &exposed)
{
    const QRect area = exposed.intersected(mGeometry);
    if (!display || !drawable || area.isEmpty())
        return;
    QImage image(mControl->size(), QImage::Format_ARGB32_Premultiplied);
    mControl->render(&image);
    X11Host::putImage(display, drawable, image, area.translated(-mGeometry.topLeft()), area.topLeft());
}

void NpInstance::deliverMouse(QEvent::Type type, const QPoint &position, Qt::MouseButton button)
{
    if (type == QEvent::MouseButtonPress)
        mButtons |= button;
    else if (type == QEvent::MouseButtonRelease)
        mButtons &= ~button;
    else if (!mButtons && !mControl->hasMouseTracking())
        return; // a move without a held button is not reported unless the control tracks the mouse
    QMouseEvent event(type, position, mControl->mapToGlobal(position), button, mButtons, QApplication::keyboardModifiers());
    QApplication::sendEvent(mControl.get(), &event);
}

void NpInstance::signalEmitted(const QMetaMethod &signal, const QVariantList &arguments)
{
    if (mDestroyed)
        return;
    const NPNetscapeFuncs *browser = NpBrowser::functions();
    if (!mDispatcher) {
        NPObject *window = nullptr;
        if (browser->getvalue(mNpp, NPNVWindowNPObject, &window) != NPERR_NO_ERROR || !window) {
            qWarning() << "npVelIn: no page to report" << signal.name() << "to";
            return;
        }
        NPString script = {dispatcherScript, static_cast<uint32_t>(sizeof(dispatcherScript) - 1)};
        NPVariant function;
        const bool evaluated = browser->evaluate(mNpp, window, &script, &function);
        browser->releaseobject(window);
        if (!evaluated || function.type != NPVariantType_Object) {
            qWarning() << "npVelIn: the page cannot take events";
            if (evaluated)
                browser->releasevariantvalue(&function);
            return;
        }
        mDispatcher = function.value.objectValue; // keeps the reference the result held
    }
    NPObject *element = nullptr;
    if (browser->getvalue(mNpp, NPNVPluginElementNPObject, &element) != NPERR_NO_ERROR || !element) {
        qWarning() << "npVelIn: no element to report" << signal.name() << "on";
        return;
    }

    const QByteArray name = signal.name();
    const QList<QByteArray> parameterNames = signal.parameterNames();
    QVector<NPVariant> callArguments{NpBrowser::objectArgument(element), NpBrowser::stringArgument(name)};
    for (int i = 0; i < arguments.size(); ++i) {
        NPVariant value;
        NpBrowser::fromVariant(arguments[i], &value);
        callArguments << NpBrowser::stringArgument(parameterNames.value(i)) << value;
    }
    NPVariant result;
    if (browser->invokeDefault(mNpp, mDispatcher, callArguments.constData(),
                               static_cast<uint32_t>(callArguments.size()), &result))
        browser->releasevariantvalue(&result);
    else
        qWarning() << "npVelIn: the page did not take the event" << name;
    for (int i = 3; i < callArguments.size(); i += 2)
        browser->releasevariantvalue(&callArguments[i]);
    browser->releaseobject(element);
}

void NpInstance::repaint()
{
    if (mDestroyed)
        return;
    NPRect whole = {0, 0, static_cast<uint16_t>(mGeometry.height()), static_cast<uint16_t>(mGeometry.width())};
    NpBrowser::functions()->invalidaterect(mNpp, &whole);
}
