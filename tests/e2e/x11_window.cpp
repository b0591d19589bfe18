// plix-test-window X Y W H COLOUR: maps a plain window of that background colour
// (0xRRGGBB), prints its id once it is shown, and keeps it until it is killed.
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    Display *d = argc == 6 ? XOpenDisplay(nullptr) : nullptr;
    if (!d) return 2;
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), atoi(argv[1]), atoi(argv[2]),
                                   unsigned(atoi(argv[3])), unsigned(atoi(argv[4])), 0, 0,
                                   strtoul(argv[5], nullptr, 16));
    XSelectInput(d, w, StructureNotifyMask);
    XMapWindow(d, w);
    XEvent e;
    do XNextEvent(d, &e);
    while (e.type != MapNotify);
    printf("0x%lx\n", w);
    fflush(stdout);
    for (;;) pause();
}
