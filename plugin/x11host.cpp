#include "x11host.h"

#include <QDebug>
#include <QSysInfo>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace X11Host {

namespace {

Qt::MouseButton buttonOf(unsigned int button)
{
    switch (button) {
    case Button1:
        return Qt::LeftButton;
    case Button2:
        return Qt::MiddleButton;
    case Button3:
        return Qt::RightButton;
    default:
        return Qt::NoButton; // 4 to 7 are wheel steps
    }
}

Qt::MouseButtons buttonsOf(unsigned int state)
{
    Qt::MouseButtons buttons;
    if (state & Button1Mask)
        buttons |= Qt::LeftButton;
    if (state & Button2Mask)
        buttons |= Qt::MiddleButton;
    if (state & Button3Mask)
        buttons |= Qt::RightButton;
    return buttons;
}

} // namespace

Event readEvent(const void *xEvent)
{
    const auto *event = static_cast<const XEvent *>(xEvent);
    Event result;
    switch (event->type) {
    case ButtonPress:
    case ButtonRelease:
        result.button = buttonOf(event->xbutton.button);
        if (result.button == Qt::NoButton)
            break;
        result.kind = event->type == ButtonPress ? Event::PointerPress : Event::PointerRelease;
        result.position = QPoint(event->xbutton.x, event->xbutton.y);
        result.buttons = buttonsOf(event->xbutton.state);
        break;
    case MotionNotify:
        result.kind = Event::PointerMotion;
        result.position = QPoint(event->xmotion.x, event->xmotion.y);
        result.buttons = buttonsOf(event->xmotion.state);
        break;
    case GraphicsExpose:
        result.kind = Event::Exposure;
        result.area = QRect(event->xgraphicsexpose.x, event->xgraphicsexpose.y, event->xgraphicsexpose.width,
                            event->xgraphicsexpose.height);
        result.position = result.area.topLeft();
        result.display = event->xgraphicsexpose.display;
        result.drawable = event->xgraphicsexpose.drawable;
        break;
    default:
        break;
    }
    return result;
}

bool putImage(void *display, unsigned long drawable, const QImage &image, const QRect &source, const QPoint &target)
{
    auto *xDisplay = static_cast<Display *>(display);
    Window root;
    int x, y;
    unsigned int width, height, border, depth;
    if (!XGetGeometry(xDisplay, drawable, &root, &x, &y, &width, &height, &border, &depth)) {
        qWarning() << "npVelIn: cannot read the drawable" << drawable;
        return false;
    }
    if (depth != 24 && depth != 32) {
        qWarning() << "npVelIn: cannot draw on a drawable of depth" << depth;
        return false;
    }
    // 32 bits per pixel in the host's byte order, as QImage keeps them.
    QImage pixels = image.convertToFormat(depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    XImage xImage = {};
    xImage.width = pixels.width();
    xImage.height = pixels.height();
    xImage.format = ZPixmap;
    xImage.data = reinterpret_cast<char *>(pixels.bits());
    xImage.byte_order = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? LSBFirst : MSBFirst;
    xImage.bitmap_unit = 32;
    xImage.bitmap_bit_order = xImage.byte_order;
    xImage.bitmap_pad = 32;
    xImage.depth = static_cast<int>(depth);
    xImage.bytes_per_line = pixels.bytesPerLine();
    xImage.bits_per_pixel = 32;
    xImage.red_mask = 0xff0000;
    xImage.green_mask = 0x00ff00;
    xImage.blue_mask = 0x0000ff;
    if (!XInitImage(&xImage)) {
        qWarning() << "npVelIn: cannot describe the picture to the X server";
        return false;
    }
    GC gc = XCreateGC(xDisplay, drawable, 0, nullptr);
    XPutImage(xDisplay, drawable, gc, &xImage, source.x(), source.y(), target.x(), target.y(),
              static_cast<unsigned int>(source.width()), static_cast<unsigned int>(source.height()));
    XFreeGC(xDisplay, gc);
    // The browser may read the drawable through a connection of its own.
    XSync(xDisplay, False);
    return true;
}

} // namespace X11Host
