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
class NpInstance
{
public:
    NpInstance(NPP npp, std::unique_ptr<QWidget> control);
    ~NpInstance();

    // A new reference to the page's object for the control.
    NPObject *scriptableObject();
    void setWindow(const NPWindow &window);
    // True when the event was for the plug-in and taken.
    bool handleEvent(void *event);

private:
    void paint(void *display, unsigned long drawable, const QRect &exposed);
    void deliverMouse(QEvent::Type type, const QPoint &position, Qt::MouseButton button);
    void signalEmitted(const QMetaMethod &signal, const QVariantList &arguments);
    void repaint();

    NPP mNpp;
    std::unique_ptr<QWidget> mControl;
    std::unique_ptr<SignalRelay> mRelay;
    NpScriptable *mScriptable = nullptr;
    NPObject *mDispatcher = nullptr; // page function that raises an event on an element
    QRect mGeometry;                  // the control's place in the browser's drawable
    Qt::MouseButtons mButtons;        // held since a press on the control
};
