// plix on Wayland: one field over the compositor's layout of outputs, each
// output's surface showing its part, one frame per 10 ms tick, until the user
// comes back (a key, a button, the pointer beyond the slack) or a signal.
#include "wayland/plix_wayland.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstdio>

#include "framebuf/framebuf.h"
#include "platform/dbus/inhibit.h"
#include "platform/wayland/wayland_platform.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"
#include "plix/program.h"

namespace {

constexpr long long tick_ms = 10;  // the saver's frame timer
// A compositor shows a frame within a refresh or two; one that has shown none of
// ours for this long has every output off, and the field waits for it.
constexpr long long unseen_ms = 250;

struct program {
    plix_options options;
    int32_t seed;
    frame_buffer frame;
    bool laid_out;          // a field is on the outputs
    int32_t width, height;  // the field's: the box bounding the outputs
    long long frames_done;
    bool frames_told;  // the frames line was printed for this field
    program_output out;
};
program g;

// With --idle, the idle protocol saying the user is back also ends a showing:
// input that went to another surface (a lock screen's prompt) counts too.
bool ending() {
    return program_signalled || wl.user_back || wl.closed ||
           (g.options.idle_seconds && !wl_idle.idle);
}

// Asked inside a very long frame.
int frame_stop() { return program_signalled ? 1 : 0; }

bool animating() {
    return g.laid_out && (g.options.frames < 0 || g.frames_done < g.options.frames);
}

// A picture of the field's size, black (no desktop picture to eat into here),
// `ahead` frames on, sent whole to every surface. --frames counts from here.
int show_new_picture(int32_t ahead) {
    deinit_framebuf(&g.frame);
    if (new_picture(&g.frame, cx, cy, dirty_dot, false, 0, 0) != 0) return out_of_memory();
    if (render_frames_ahead(&g.frame, ahead, frame_stop) != 0) return 0;  // ending
    present_whole(wayland_target(), &g.frame);
    g.frames_done = 0;
    g.frames_told = false;
    g.out.fps_frames = g.out.step_ns = 0;
    g.out.fps_since = now_ms();
    return 0;
}

// The outputs came, went or changed: the field is the box bounding them now,
// laid out from the seed the first time, refitted after, so that the dots go on
// within it. An output that only moved within the same box is shown anew.
int fit_layout() {
    wl.layout_changed = false;
    int32_t width, height;
    if (!wayland_layout(&width, &height)) return 0;  // a surface's size is still to come
    if (g.laid_out && width == g.width && height == g.height) {
        present_whole(wayland_target(), &g.frame);
        return 0;
    }
    g.width = width;
    g.height = height;
    const bool first = !g.laid_out;
    if (g.laid_out) {
        refit_field(width, height);
    } else {
        rand_seed = g.seed;
        setup_screen_and_dots(width, height);
        g.laid_out = true;
    }
    return show_new_picture(first ? g.options.frames_ahead : 0);
}

// Sends what we asked, then waits up to `timeout` ms (-1: no limit) for the
// compositor, a signal or the session bus (`bus_fd`, -1: none), and takes the
// compositor's events that came.
void wait_for_events(int timeout, int bus_fd = -1) {
    wl_display *d = wl.display;
    while (wl_display_prepare_read(d) != 0)
        if (wl_display_dispatch_pending(d) < 0) return;  // failed: run() says why
    wl_display_flush(d);
    pollfd fds[3] = {
        {wl_display_get_fd(d), POLLIN, 0}, {wake_fd(), POLLIN, 0}, {bus_fd, POLLIN, 0}};
    if (poll(fds, 3, timeout) > 0 && fds[0].revents)
        wl_display_read_events(d);
    else
        wl_display_cancel_read(d);
    wl_display_dispatch_pending(d);
    drain_wake();
}

// Frames at the tick until the program is to end: 0, or 1 when a picture
// cannot be had or the compositor failed us.
int run() {
    long long next = now_ms() + tick_ms;
    char why[160];
    while (!ending()) {
        wayland_add_surfaces();
        if (wl.layout_changed && fit_layout() != 0) return 1;
        if (wl.out_of_memory) return out_of_memory();
        const long long now = now_ms();
        if (g.options.fps && animating()) report_fps(&g.out, now, "wl_shm");
        // Nothing is drawn that nobody can see; shown again, the field goes on
        // from where it stopped, with no frames made up for the time off.
        const bool unseen = wayland_unseen(now, unseen_ms);
        if (unseen) next = now + tick_ms;
        if (animating() && !unseen && now >= next) {
            render_frame(&g.out, g.options.fps, wayland_target(), &g.frame, frame_stop);
            g.frames_done++;
            g.out.fps_frames++;
            // A late frame is not made up for: the next one is a whole tick away.
            next = next + tick_ms > now ? next + tick_ms : now + tick_ms;
        }
        wayland_show(&g.frame, now);
        // Told once the last frame is on every output that is on: one that
        // is off is not waited for.
        const bool line_due = g.laid_out && g.frames_done == g.options.frames && !g.frames_told;
        if (line_due && wayland_all_shown(now, unseen_ms)) {
            print_frames_line(&g.out, g.frames_done);
            g.frames_told = true;
        }
        if (wayland_failed(why, sizeof why)) {
            fprintf(stderr, "plix: %s\n", why);
            return 1;
        }
        // Only the compositor or a signal can change a still picture, or end
        // the wait of a field nobody sees; an output that shows nothing more
        // lets the frames line go when it has waited long enough.
        wait_for_events(animating() && !unseen       ? int(std::max(0LL, next - now_ms()))
                        : line_due && !g.frames_told ? int(tick_ms)
                                                     : -1);
    }
    return 0;
}

// Connects, and says in one line why it cannot: false.
bool open_compositor() {
    char why[160];
    if (wayland_open(why, sizeof why)) return true;
    fprintf(stderr, "plix: %s\n", why);
    wayland_close();
    return false;
}

// One showing, from its own seed, until the user is back: the field's status
// (0, or 1 when it could not go on). Its buffers, surfaces and dots go after.
int show_once() {
    g.seed = g.options.seed_given ? g.options.seed : int32_t(uint32_t(now_ms()));
    g.laid_out = false;
    g.out = program_output{g.out.stdout_closed, g.out.stderr_closed, 0, 0, 0};
    const int status = set_up_settings(g.options) != 0 ? 1 : run();
    deinit_framebuf(&g.frame);
    free_dots();
    wayland_remove_surfaces();
    return status;
}

}  // namespace

int run_idle_on_wayland(const plix_options &options) {
    g.options = options;
    if (!open_compositor()) return 2;
    if (const char *why = wayland_idle_watch(uint32_t(options.idle_seconds * 1000))) {
        fprintf(stderr, "plix: --idle cannot watch for idle: the Wayland compositor offers %s\n",
                why);
        wayland_close();
        return 2;
    }
    // Settings that ask for more memory than there is are told now, not at the
    // first idle time, when nobody reads what plix says.
    if (set_up_settings(g.options) != 0) {
        wayland_close();
        return 1;
    }
    free_dots();
    if (chow)
        fprintf(stderr,
                "plix: on Wayland no picture of the desktop is given to programs: "
                "chow starts from black\n");
    // Per idle time: whether the desktop was asked about inhibitions, and what
    // it said; whether the field was shown (taken down by our own input rules
    // before the protocol said the user is back, it waits for that first). While
    // an inhibition is held the question is asked again only when the bus says
    // it may have changed, or at the next idle time: no timer.
    bool asked = false, inhibited = false, shown = false, news = false;
    int status = 0;
    char why[160];
    while (!program_signalled && status == 0) {
        if (wayland_failed(why, sizeof why)) {
            fprintf(stderr, "plix: %s\n", why);
            status = 1;
            break;
        }
        if (!wl_idle.idle) {
            asked = inhibited = shown = false;
        } else if (!shown && (!asked || (inhibited && news))) {
            inhibited = inhibition_held();
            asked = true;
            if (!inhibited) {
                status = show_once();
                shown = true;
                continue;
            }
        }
        wait_for_events(-1, inhibition_fd());
        news = inhibition_news();
    }
    inhibition_close();
    wayland_close();
    return status;
}

int run_on_wayland(const plix_options &options, int32_t seed, bool x11_too) {
    g.options = options;
    g.seed = seed;
    char why[160];
    if (!wayland_open(why, sizeof why)) {
        const bool unreachable = !wl.display;
        wayland_close();
        if (unreachable && x11_too) {
            fprintf(stderr, "plix: %s: drawing on X11 instead\n", why);
            return wayland_unreachable;
        }
        fprintf(stderr, "plix: %s\n", why);
        return 2;
    }
    if (set_up_settings(g.options) != 0) {
        wayland_close();
        return 1;
    }
    if (chow)
        fprintf(stderr,
                "plix: on Wayland no picture of the desktop is given to programs: "
                "chow starts from black\n");
    const int status = run();
    deinit_framebuf(&g.frame);
    free_dots();
    wayland_close();
    return status;
}
