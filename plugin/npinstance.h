#pragma once

#include "npapi.h"

#include <QEvent>
#include <QMetaMethod>
#include <QVariantList>
#include <QWidget>

#include <memory>

class NpScriptable;
class SignalRelay;

// One embedded object of the plug-in's type: its control, drawn into the
// browser's drawable as a windowless plug-in, fed with the browser's mouse
// events, scripted through NpScriptable and reporting its signals to the page
// as DOM events on the embedding element.
//
// Calls from the browser may re-enter it: a page's event handler or the
// about box's event loop can destroy the instance in the middle of a call.
// Every call holds a CallGuard, and destroy() deletes only once none is left.
class NpInstance
{
public:
    NpInstance(NPP npp, std::unique_ptr<QWidget> control);

    // The browser's NPP_Destroy: the page's object answers nothing from here on.
    static void destroy(NpInstance *instance);

    class CallGuard
    {
    public:
        explicit CallGuard(NpInstance *instance);
        ~CallGuard();
        CallGuard(const CallGuard &) = delete;
        CallGuard &operator=(const CallGuard &) = delete;

    private:
        NpInstance *mInstance;
    };

    QWidget *control() const;
    // A new reference to the page's object for the control.
    NPObject *scriptableObject();
    void setWindow(const NPWindow &window);
    // True when the event was for the plug-in and taken.
    bool handleEvent(void *event);
    // Asks the browser to paint the control again.
    void repaint();

private:
    ~NpInstance();

    void paint(void *display, unsigned long drawable, const QRect &exposed);
    void deliverMouse(QEvent::Type type, const QPoint &position, Qt::MouseButton button);
    void signalEmitted(const QMetaMethod &signal, const QVariantList &arguments);

    NPP mNpp;
    std::unique_ptr<QWidget> mControl;
    std::unique_ptr<SignalRelay> mRelay;
    NpScriptable *mScriptable = nullptr;
    NPObject *mDispatcher = nullptr; // page function that raises an event on an element
    QRect mGeometry;                  // the control's place in the browser's drawable
    Qt::MouseButtons mButtons;        // held since a press on the control
    int mCalls = 0;                   // calls from the browser under way
    bool mDestroyed = false;
};
