// plix: the dot field as a Linux screen-saver program. Reads its command line,
// then runs natively on Wayland, or on X11 (where XScreenSaver runs it, or
// asked to draw on the root window or a given window); or adds itself to, or
// takes itself out of, the user's XScreenSaver list.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "plix/autostart.h"
#include "plix/options.h"
#include "plix/program.h"
#include "plix/xscreensaver_list.h"
#include "startup/frames_ahead.h"
#include "x11/plix_x11.h"
#if PLIX_WAYLAND
#include "wayland/plix_wayland.h"
#endif

#if PLIX_WAYLAND
namespace {

// A Wayland session (a compositor named, or handed to us as a socket), and no
// X window asked for: XScreenSaver's, the root window or one by id all mean X11.
bool on_wayland(const plix_options &options) {
    const char *name = getenv("WAYLAND_DISPLAY"), *socket = getenv("WAYLAND_SOCKET");
    return options.target == draw_target::own_window && ((name && *name) || (socket && *socket));
}

}  // namespace
#endif

namespace {

// plix --idle: Wayland's alone; on X11 the screen-saver daemons watch for idle.
int run_idle(const plix_options &options) {
#if PLIX_WAYLAND
    if (on_wayland(options)) {
        if (!claim_idle_session()) {
            fprintf(stderr, "plix: a plix --idle is already running in this session\n");
            return 1;
        }
        catch_signals();
        return end_program(run_idle_on_wayland(options));
    }
#endif
    (void)options;
    fprintf(stderr,
            "plix: --idle watches for idle on Wayland, and there is no Wayland display "
            "(on X11, XScreenSaver or MATE's screen saver starts plix)\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    open_standard_descriptors();
    plix_options options;
    const int parsed = parse_options(argc, argv, getenv("XSCREENSAVER_WINDOW"), &options);
    if (parsed == 1) return 0;  // --help, --version
    if (parsed != 0) return parsed;
    if (options.action == list_action::install_autostart)
        return install_autostart(options.idle_seconds);
    if (options.action == list_action::uninstall_autostart) return uninstall_autostart();
    if (options.action != list_action::none)
        return run_list_action(options.action == list_action::install);
    // The benchmarks' variables start one field further on; --idle shows new ones.
    if (options.idle_seconds) return run_idle(options);
    if (apply_frames_ahead_variables(getenv(frames_ahead_seed_variable),
                                     getenv(frames_ahead_frames_variable), &options) != 0)
        return 2;
    const int32_t seed = options.seed_given ? options.seed : int32_t(uint32_t(now_ms()));
    catch_signals();
#if PLIX_WAYLAND
    if (on_wayland(options)) {
        const char *display = getenv("DISPLAY");
        const int status = run_on_wayland(options, seed, display && *display);
        if (status != wayland_unreachable) return end_program(status);
    }
#endif
    return end_program(run_on_x11(options, seed));
}
