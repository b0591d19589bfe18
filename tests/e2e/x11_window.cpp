// plix-test-window X Y W H COLOUR [SAVED [PWxPH]]: maps a plain window of that
// background colour (RRGGBB), prints its id once it is shown, and keeps it
// until it is killed. A COLOUR of eight digits (AARRGGBB) makes it a depth-32
// window of an ARGB visual, as a compositing desktop's translucent ones. With SAVED it also names, as XScreenSaver does, a saved
// desktop picture of half its size (or PW x PH): SAVED on the left, its
// complement on the right.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv) {
    Display *d = argc >= 6 && argc <= 8 ? XOpenDisplay(nullptr) : nullptr;
    if (!d) return 2;
    const unsigned width = unsigned(atoi(argv[3])), height = unsigned(atoi(argv[4]));
    const int x = atoi(argv[1]), y = atoi(argv[2]);
    const unsigned long colour = strtoul(argv[5], nullptr, 16);
    Window w;
    if (strlen(argv[5]) == 8) {
        XVisualInfo argb;
        if (!XMatchVisualInfo(d, DefaultScreen(d), 32, TrueColor, &argb)) return 2;
        XSetWindowAttributes a = {};
        a.colormap = XCreateColormap(d, DefaultRootWindow(d), argb.visual, AllocNone);
        a.background_pixel = colour;
        a.border_pixel = 0;  // a window of another depth than its parent's needs its own
        w = XCreateWindow(d, DefaultRootWindow(d), x, y, width, height, 0, 32, InputOutput,
                          argb.visual, CWColormap | CWBackPixel | CWBorderPixel, &a);
    } else {
        w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, width, height, 0, 0, colour);
    }
    if (argc >= 7) {
        unsigned pw = width / 2, ph = height / 2;
        if (argc == 8 && sscanf(argv[7], "%ux%u", &pw, &ph) != 2) return 2;
        const unsigned long saved = strtoul(argv[6], nullptr, 16);
        Pixmap p = XCreatePixmap(d, w, pw, ph, unsigned(DefaultDepth(d, DefaultScreen(d))));
        GC gc = XCreateGC(d, p, 0, nullptr);
        XSetForeground(d, gc, saved);
        XFillRectangle(d, p, gc, 0, 0, pw / 2, ph);
        XSetForeground(d, gc, saved ^ 0xFFFFFF);
        XFillRectangle(d, p, gc, int(pw / 2), 0, pw - pw / 2, ph);
        const unsigned long item = p;  // format 32 items go as longs
        XChangeProperty(d, w, XInternAtom(d, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char *>(&item), 1);
    }
    XSelectInput(d, w, StructureNotifyMask);
    XMapWindow(d, w);
    XEvent e;
    do XNextEvent(d, &e);
    while (e.type != MapNotify);
    printf("0x%lx\n", w);
    fflush(stdout);
    for (;;) pause();
}
