// The picture chow eats into under XScreenSaver: the desktop it saved when it
// blanked, a Pixmap named by the _SCREENSAVER_SCREENSHOT property of the window
// it hands a program, since that window itself covers the desktop in black.
// Only the part behind the window is read: the picture may be of a far larger
// screen than the window.
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "platform/x11/x11_platform.h"

namespace {

// The pixmap the host left on window w, or None.
Pixmap saved_screen(Display *d, Window w) {
    // Only looked up: a display where no host ever saved one has no such atom.
    const Atom name = XInternAtom(d, "_SCREENSAVER_SCREENSHOT", True);
    if (name == None) return None;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    Pixmap pixmap = None;
    if (XGetWindowProperty(d, w, name, 0, 1, False, XA_PIXMAP, &type, &format, &count, &after,
                           &data) == Success &&
        type == XA_PIXMAP && format == 32 && count == 1)
        pixmap = Pixmap(*reinterpret_cast<unsigned long *>(data));  // Xlib hands 32-bit items as longs
    if (data) XFree(data);
    return pixmap;
}

}  // namespace

void x11_fill_from_image(frame_buffer *fb, XImage *image) {
    const size_t w = size_t(fb->width), h = size_t(fb->height);
    const size_t iw = size_t(image->width), ih = size_t(image->height);
    for (size_t row = 0; row < h; row++)
        for (size_t col = 0; col < w; col++)
            fb->pixels[row * w + col] =
                x11_pixel_to_rgb(XGetPixel(image, int(col * iw / w), int(row * ih / h)));
}

// One axis of the part of the saved picture to read: where the picture covers
// the window on it, the window's own span there (clamped into the picture);
// where it is smaller, all of it, to be scaled. Never more than the window.
static void span(int window_at, unsigned window, unsigned picture, int *from, unsigned *length) {
    if (picture >= window) {
        *from = window_at < 0 ? 0 : std::min(window_at, int(picture - window));
        *length = window;
    } else {
        *from = 0;
        *length = picture;
    }
}

bool x11_capture_saved_screen(frame_buffer *fb) {
    Display *d = x11.display;
    x11_trap_errors();  // the window or the pixmap may be gone by now
    const Pixmap pixmap = saved_screen(d, x11.window);
    Window root, child;
    int px, py, wx = 0, wy = 0, x = 0, y = 0;
    unsigned width = 0, height = 0, w = 0, h = 0, border, depth = 0;
    XImage *shot = nullptr;
    // A picture of another depth is in another pixel format than our window's.
    if (pixmap != None && XGetGeometry(d, pixmap, &root, &px, &py, &width, &height, &border, &depth) &&
        int(depth) == x11.depth && width > 0 && height > 0 &&
        XTranslateCoordinates(d, x11.window, root, 0, 0, &wx, &wy, &child)) {
        span(wx, unsigned(fb->width), width, &x, &w);
        span(wy, unsigned(fb->height), height, &y, &h);
        shot = XGetImage(d, pixmap, x, y, w, h, AllPlanes, ZPixmap);
    }
    const int error = x11_untrap_errors();
    // Xlib answers a reply it has no memory for with no image and no error.
    if (pixmap != None && w && !shot && !error) x11.out_of_memory = true;
    const bool ok = !error && shot;
    if (ok) x11_fill_from_image(fb, shot);
    if (shot) XDestroyImage(shot);
    return ok;
}
