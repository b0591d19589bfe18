// plix on X11: draws into its own window, the root window, a window given by
// id or XScreenSaver's window, one frame per 10 ms tick, until SIGTERM, SIGINT
// or the end of its window.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/dpms.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "x11/plix_x11.h"
#include "framebuf/framebuf.h"
#include "platform/x11/x11_platform.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"
#include "plix/program.h"

namespace {

constexpr long long tick_ms = 10;          // the saver's frame timer
constexpr long long dpms_check_ms = 1000;  // how often the monitor's power state is asked

// The program's state.
struct program {
    plix_options options;
    Display *display;
    Window window;
    bool own;          // our window, which we made and destroy
    Atom delete_atom;  // the window manager's close box on our window
    plat_dc target;
    frame_buffer frame;
    int32_t seed;
    bool laid_out;      // a field is on the window
    bool refit_due;     // the window's size changed since
    bool mapped;        // the window is shown (ours only: the others are taken as they are)
    int width, height;  // of the window, as last reported
    bool gone;          // the window was destroyed or closed
    long long frames_done;
    program_output out;
    bool watch_dpms;         // the server tells the monitor's power state, and no host does
    bool asleep;             // the monitor is in a power-saving state: nothing is drawn
    long long dpms_checked;  // when it was last asked
};
program g;

bool ending() { return program_signalled || g.gone || x11.window_gone; }

// Asked inside a very long frame: a destroyed window or a signal abandons it.
int frame_stop() {
    XEvent e;
    if (XCheckTypedWindowEvent(g.display, g.window, DestroyNotify, &e)) g.gone = true;
    return ending() ? 1 : 0;
}

int fail(const char *what, unsigned long id) {
    fprintf(stderr, "plix: %s 0x%lx\n", what, id);
    return 2;
}

std::string hex(unsigned long v) {
    char text[24];
    snprintf(text, sizeof text, "%lx", v);
    return text;
}

// Pictures are computed in 8 bits a channel and converted as they are shown;
// a visual that looks colours up in a colour map cannot show them.
int not_truecolor(const char *which, const Visual *visual, int depth) {
    static const char *const classes[] = {"StaticGray",  "GrayScale", "StaticColor",
                                          "PseudoColor", "TrueColor", "DirectColor"};
    const int c = visual->c_class;
    fprintf(stderr, "plix: needs a TrueColor visual; %s visual 0x%lx is %s, depth %d\n", which,
            XVisualIDFromVisual(const_cast<Visual *>(visual)),
            c >= 0 && c < 6 ? classes[c] : "of an unknown class", depth);
    return 2;
}

// A picture of the field's size, and the window made equal to it (black, or in
// chow mode what the window showed), `ahead` frames on. --frames counts from here.
int show_new_picture(int32_t ahead) {
    deinit_framebuf(&g.frame);
    if (new_picture(&g.frame, cx, cy, dirty_dot, chow, 0, 0) != 0 || x11.out_of_memory)
        return out_of_memory();
    if (render_frames_ahead(&g.frame, ahead, frame_stop) != 0) return 0;  // ending
    present_whole(g.target, &g.frame);
    g.frames_done = 0;
    g.out.fps_frames = g.out.step_ns = 0;
    g.out.fps_since = now_ms();
    return 0;
}

// The field at the window's first size, drawn from the seed.
int lay_out() {
    rand_seed = g.seed;
    setup_screen_and_dots(g.width, g.height);
    g.laid_out = true;
    return show_new_picture(g.options.frames_ahead);
}

// A new size (the screen's, when RandR changes the root window, or the
// window's): the dots go on within it.
int refit() {
    g.refit_due = false;
    refit_field(g.width, g.height);
    return show_new_picture(0);
}

void frame_shown() {
    XFlush(g.display);
    if (g.frames_done == g.options.frames) {
        XSync(g.display, False);  // on the screen before we say so
        print_frames_line(&g.out, g.frames_done);
    }
}

bool animating() {
    return g.laid_out && (g.options.frames < 0 || g.frames_done < g.options.frames);
}

void handle_events() {
    bool expose = false;
    while (XPending(g.display)) {
        XEvent e;
        XNextEvent(g.display, &e);
        switch (e.type) {
        case DestroyNotify:
            if (e.xdestroywindow.window == g.window) g.gone = true;
            break;
        case MapNotify:
            g.mapped = true;
            break;
        case ConfigureNotify:
            if (e.xconfigure.window == g.window &&
                (e.xconfigure.width != g.width || e.xconfigure.height != g.height)) {
                g.width = e.xconfigure.width;
                g.height = e.xconfigure.height;
                g.refit_due = g.laid_out;  // after the queue is read: a drag sends many sizes
            }
            break;
        case Expose:
            expose = true;
            break;
        case ClientMessage:
            if (g.own && Atom(e.xclient.data.l[0]) == g.delete_atom) g.gone = true;
            break;
        default:
            break;
        }
    }
    if (expose && g.laid_out) {
        present_whole(g.target, &g.frame);
        XSync(g.display, False);
    }
}

// The window frames go to: checked, watched for its end and its size.
int choose_window() {
    Display *d = g.display;
    const plix_options &o = g.options;
    XWindowAttributes a;
    if (o.target == draw_target::own_window) {
        const int screen = DefaultScreen(d);
        Visual *visual = DefaultVisual(d, screen);
        const int depth = DefaultDepth(d, screen);
        if (visual->c_class != TrueColor)
            return not_truecolor("the display's default", visual, depth);
        XSetWindowAttributes set = {};
        set.event_mask = StructureNotifyMask | ExposureMask;
        // In chow mode the window keeps what was below it, for the dots to eat.
        set.background_pixmap = None;
        set.background_pixel = BlackPixel(d, screen);
        g.window = XCreateWindow(d, RootWindow(d, screen), 0, 0, unsigned(o.width),
                                 unsigned(o.height), 0, depth, InputOutput, visual,
                                 CWEventMask | (chow ? CWBackPixmap : CWBackPixel), &set);
        XStoreName(d, g.window, "Plix");
        XClassHint names = {const_cast<char *>("plix"), const_cast<char *>("Plix")};
        XSetClassHint(d, g.window, &names);
        g.delete_atom = XInternAtom(d, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(d, g.window, &g.delete_atom, 1);
        g.own = true;
        g.width = o.width;
        g.height = o.height;
        g.target = x11_bind(g.window, visual, depth);
        XMapWindow(d, g.window);
        return 0;
    }
    g.window = o.target == draw_target::root ? DefaultRootWindow(d) : Window(o.window_id);
    x11_trap_errors();
    const Status found = XGetWindowAttributes(d, g.window, &a);
    if (x11_untrap_errors() || !found) return fail("no such window:", g.window);
    if (a.visual->c_class != TrueColor) {
        const std::string which = "window 0x" + hex(g.window) + "'s";
        return not_truecolor(which.c_str(), a.visual, a.depth);
    }
    g.width = a.width;
    g.height = a.height;
    g.mapped = true;
    g.target = x11_bind(g.window, a.visual, a.depth);
    XSelectInput(d, g.window, StructureNotifyMask | ExposureMask);
    return 0;
}

[[noreturn]] int on_io_error(Display *) {
    fprintf(stderr, "plix: lost the connection to the X display\n");
    _exit(1);  // shared memory was marked for removal: nothing is left behind
}

// Outside XScreenSaver, which ends its programs itself when the monitor
// sleeps, frames nobody can see are not drawn: the monitor's state is asked
// once a second. Returns whether it has just woken.
bool monitor_woke(long long now) {
    if (!g.watch_dpms || now - g.dpms_checked < dpms_check_ms) return false;
    g.dpms_checked = now;
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    const bool was_asleep = g.asleep;
    g.asleep = DPMSInfo(g.display, &level, &enabled) && enabled && level != DPMSModeOn;
    return was_asleep && !g.asleep;
}

// Frames at the tick until the program is to end: 0, or 1 when a picture cannot
// be had or an unexpected X error occurred.
int run() {
    long long next = now_ms() + tick_ms;
    while (!ending()) {
        handle_events();
        if (ending()) break;
        if ((!g.laid_out || g.refit_due) && g.mapped) {
            if ((g.laid_out ? refit() : lay_out()) != 0) return 1;
            XSync(g.display, False);
            if (g.options.frames == 0) frame_shown();
        }
        if (x11.other_error) {
            char text[128];
            XGetErrorText(g.display, x11.other_error, text, sizeof text);
            fprintf(stderr, "plix: X error: %s (request %d)\n", text, x11.other_request);
            return 1;
        }
        long long now = now_ms();
        if (monitor_woke(now) && g.laid_out) {
            // The field goes on from where it stopped, shown whole, with no
            // frames made up for the time asleep.
            present_whole(g.target, &g.frame);
            next = now + tick_ms;
        }
        if (g.options.fps && animating())
            report_fps(&g.out, now, x11_framebuf_shared(&g.frame) ? "MIT-SHM" : "XPutImage");
        if (animating() && !g.asleep && now >= next) {
            // The server must have taken the last frame from shared memory before
            // this one is drawn there. Waiting here rather than after sending it
            // lets the server copy while we sleep; it also keeps us at its pace.
            XSync(g.display, False);
            render_frame(&g.out, g.options.fps, g.target, &g.frame, frame_stop);
            g.frames_done++;
            g.out.fps_frames++;
            frame_shown();
            // A late frame is not made up for: the next one is a whole tick away.
            next = next + tick_ms > now ? next + tick_ms : now + tick_ms;
            continue;  // events first again
        }
        // A round trip (the XSync after an expose, say) may have read events off the socket
        // into the queue, where poll cannot see them.
        if (XQLength(g.display) > 0) continue;
        int timeout = -1;  // only an event or a signal can change a still picture
        if (animating())
            timeout =
                int(std::max(0LL, g.asleep ? g.dpms_checked + dpms_check_ms - now : next - now));
        pollfd fds[2] = {{ConnectionNumber(g.display), POLLIN, 0}, {wake_fd(), POLLIN, 0}};
        poll(fds, 2, timeout);
        drain_wake();
    }
    return 0;
}

}  // namespace

int run_on_x11(const plix_options &options, int32_t seed) {
    g.options = options;
    g.seed = seed;
    const char *name = getenv("DISPLAY");
    g.display = XOpenDisplay(nullptr);
    if (!g.display) {
        if (name && *name)
            fprintf(stderr, "plix: cannot open display \"%s\"\n", name);
        else
            fprintf(stderr, "plix: cannot open display: DISPLAY is not set\n");
        return 2;
    }
    x11_open(g.display);
    XSetIOErrorHandler(on_io_error);
    if (set_up_settings(g.options) != 0) {
        XCloseDisplay(g.display);
        return 1;
    }
    int status = choose_window();
    int dpms_event, dpms_error;
    g.watch_dpms = !getenv("XSCREENSAVER_WINDOW") &&
                   DPMSQueryExtension(g.display, &dpms_event, &dpms_error) &&
                   DPMSCapable(g.display);
    if (status == 0) status = run();
    deinit_framebuf(&g.frame);
    free_dots();
    x11_unbind();
    if (g.own && !g.gone && !x11.window_gone) XDestroyWindow(g.display, g.window);
    XCloseDisplay(g.display);
    return status;
}
