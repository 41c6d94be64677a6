#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

// The X11 side of a windowless plug-in, kept apart because X's headers define
// names (None, Bool, KeyPress...) that clash with Qt's.
namespace X11Host {

// What the plug-in reads from an X event the browser hands over.
struct Event {
    enum Kind { Other, PointerPress, PointerRelease, PointerMotion, Exposure };
    Kind kind = Other;
    QPoint position;           // pointer position, or top left of the exposed area
    QRect area;                // exposed area of the drawable
    Qt::MouseButton button = Qt::NoButton; // pressed or released (wheel steps are Other)
    Qt::MouseButtons buttons;  // held during a move
    void *display = nullptr;
    unsigned long drawable = 0;
};

Event readEvent(const void *xEvent);

// Puts the source rectangle of image onto the drawable at target; false (and
// a log line) when the drawable's depth is not one of true colour.
bool putImage(void *display, unsigned long drawable, const QImage &image, const QRect &source, const QPoint &target);

} // namespace X11Host
