// plix-screens-x11 MODE: the X side of bench/screens.sh and bench/wayland_bench.sh.
// "idle", "pixel" and "copy" are the reference programs beside plix: a 100 Hz
// loop that draws nothing, one that copies one pixel to the root window every
// tick, and one that copies a whole-screen picture (MIT-SHM, as plix does). "count" draws nothing
// and counts how often the screen changes (damage on the root window), for programs that say no
// frame rate themselves. Each prints one "N frames per second" line a second on stderr until
// killed.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "reference_clock.h"

namespace {

void sleep_until(long long ms) {
    const long long wait = ms - now_ms();
    if (wait <= 0) return;
    timespec t = {time_t(wait / 1000), long(wait % 1000) * 1000000};
    nanosleep(&t, nullptr);
}

// Once a second: the frames since the last report.
struct rate {
    long long since = now_ms(), frames = 0;
    void frame() {
        frames++;
        const long long now = now_ms();
        if (now - since < 1000) return;
        fprintf(stderr, "plix-screens-x11: %.1f frames per second\n",
                double(frames) * 1000.0 / double(now - since));
        frames = 0;
        since = now;
    }
};

// The whole root window (or with `one`, its first pixel) from one shared
// picture, every 10 ms tick, or (copy false) the tick alone. A late tick is not
// made up for, as in plix.
int tick_loop(Display *d, bool copy, bool one) {
    const int screen = DefaultScreen(d);
    const Window root = RootWindow(d, screen);
    const unsigned w = one ? 1 : unsigned(DisplayWidth(d, screen));
    const unsigned h = one ? 1 : unsigned(DisplayHeight(d, screen));
    XShmSegmentInfo shm = {};
    XImage *image = nullptr;
    if (copy) {
        image = XShmCreateImage(d, DefaultVisual(d, screen), unsigned(DefaultDepth(d, screen)),
                                ZPixmap, nullptr, &shm, w, h);
        if (!image) return 1;
        shm.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * h, IPC_CREAT | 0600);
        if (shm.shmid < 0) return 1;
        shm.shmaddr = image->data = static_cast<char *>(shmat(shm.shmid, nullptr, 0));
        shmctl(shm.shmid, IPC_RMID, nullptr);  // gone once both sides detach
        if (shm.shmaddr == reinterpret_cast<char *>(-1) || !XShmAttach(d, &shm)) return 1;
        memset(image->data, 0, size_t(image->bytes_per_line) * h);
    }
    const GC gc = XCreateGC(d, root, 0, nullptr);
    rate r;
    long long next = now_ms() + 10;
    for (unsigned k = 0; !stop_requested; k++) {
        sleep_until(next);
        const long long now = now_ms();
        // As plix: the server has taken the last picture before the next is sent.
        XSync(d, False);
        if (copy) {
            image->data[0] = char(k);  // a picture that changes, in case anyone compares
            XShmPutImage(d, root, gc, image, 0, 0, 0, 0, w, h, False);
            XFlush(d);
        }
        r.frame();
        next = next + 10 > now ? next + 10 : now + 10;
    }
    if (copy) XShmDetach(d, &shm);
    return 0;
}

// Each time the root window (with the windows on it) is drawn on after the last
// count, one frame. A frame that comes before the previous one was counted
// merges with it, so on a busy machine this can only undercount.
int count_loop(Display *d) {
    int event_base, error_base;
    if (!XDamageQueryExtension(d, &event_base, &error_base)) return 1;
    const Window root = DefaultRootWindow(d);
    const Damage damage = XDamageCreate(d, root, XDamageReportNonEmpty);
    XSync(d, False);
    rate r;
    while (!stop_requested) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type != event_base + XDamageNotify) continue;
        XDamageSubtract(d, damage, None, None);
        r.frame();
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    const char *mode = argc == 2 ? argv[1] : "";
    if (strcmp(mode, "idle") && strcmp(mode, "pixel") && strcmp(mode, "copy") &&
        strcmp(mode, "count")) {
        fprintf(stderr, "usage: plix-screens-x11 idle|pixel|copy|count\n");
        return 2;
    }
    Display *d = XOpenDisplay(nullptr);
    if (!d) return 2;
    // The tick loops end cleanly on a signal; the counter simply dies.
    struct sigaction sa = {};
    sa.sa_handler = on_signal;
    if (strcmp(mode, "count")) {
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
    }
    const bool pixel = !strcmp(mode, "pixel");
    const int status =
        strcmp(mode, "count") ? tick_loop(d, pixel || !strcmp(mode, "copy"), pixel) : count_loop(d);
    if (status) fprintf(stderr, "plix-screens-x11: %s failed\n", mode);
    XCloseDisplay(d);
    return status;
}
