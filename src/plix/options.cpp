// plix's options: the settings options come from the settings table, so a key
// added there is an option here too (its '_' written '-').
#include "plix/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "plix_defaults.h"
#include "settings/settings.h"
#include "startup/frames_ahead.h"
#include "common/arguments.h"

namespace {

constexpr int setting_count = int(sizeof setting_keys / sizeof setting_keys[0]);

std::string option_name(const setting_key &k) {
    std::string name = k.key;
    std::replace(name.begin(), name.end(), '_', '-');
    return "--" + name;
}

void print_usage() {
    printf(
        "usage: plix [--root | --window-id ID] [--size WxH] [--settings FILE] [SETTINGS]\n"
        "            [--seed N] [--frames K] [--frames-ahead N] [--fps]\n"
        "       plix --idle SECONDS [--settings FILE] [SETTINGS] [--seed N] [--fps]\n"
        "       plix --install-xscreensaver | --uninstall-xscreensaver | --version\n"
        "       plix --install-autostart SECONDS | --uninstall-autostart\n"
        "Options also go as -name (XScreenSaver's style) and --name=VALUE.\n"
        "  --root            draw on the root window\n"
        "  --window-id ID    draw into window ID (decimal or 0x hex), also with --root;\n"
        "                    without it, into $XSCREENSAVER_WINDOW when set, else with\n"
        "                    --root on the root window, else on Wayland (with\n"
        "                    $WAYLAND_DISPLAY) over every output, else into a window\n"
        "                    of its own\n"
        "  --size WxH        size of its own X window (default 800x600)\n"
        "  --settings FILE   settings from FILE (Plix.ini format, a missing key is 0)\n"
        "                    instead of the shipped defaults; SETTINGS options override it\n"
        "  --seed N          initial random state, a signed 32-bit decimal (default: clock)\n"
        "  --frames K        stop after K frames, leaving the last one shown; prints\n"
        "                    \"frames=K pixels_per_frame=P\" once it is on the screen\n"
        "  --frames-ahead N  start as the field stands after N frames from the seed\n"
        "                    (for measuring a long run); also $PLIX_FRAMES_AHEAD, and\n"
        "                    the seed $PLIX_SEED, as Plix.scr takes them\n"
        "  --fps             frames per second on stderr, every second, and the\n"
        "                    CPU time of each frame's step\n"
        "  --idle SECONDS    on Wayland, for the whole session: once the seat has had no\n"
        "                    input for SECONDS (1..4294967) and no inhibition is held,\n"
        "                    the field on every output until the user is back; a new\n"
        "                    field each time (the same one with --seed)\n"
        "  --install-xscreensaver    add plix to the programs of ~/.xscreensaver, or\n"
        "                            enable it there where it is disabled\n"
        "  --uninstall-xscreensaver  take it out again\n"
        "  --install-autostart SECONDS  start \"plix --idle SECONDS\" with KDE Plasma's\n"
        "                    sessions ($XDG_CONFIG_HOME/autostart/plix.desktop)\n"
        "  --uninstall-autostart        take that entry out again\n"
        "SETTINGS (defaults in brackets):\n");
    for (const setting_key &k : setting_keys) {
        const std::string name = option_name(k);
        if (k.is_flag)
            printf("  %s, --no-%s [%s]\n", name.c_str(), name.c_str() + 2,
                   shipped_default(k.key) ? name.c_str() : ("--no-" + name.substr(2)).c_str());
        else
            printf("  %s N [%ld]\n", name.c_str(), long(shipped_default(k.key)));
    }
    printf(
        "Exit status: 0 after SIGINT, the end of its window or, on Wayland, a key, a\n"
        "button or a pointer move (SIGTERM ends it by that signal); 1 out of memory, a\n"
        "lost display or compositor, a ~/.xscreensaver or autostart entry that cannot\n"
        "be changed or, with --idle, one already running in the session; 2 bad\n"
        "options, a settings file that cannot be read, no display, no such window, a\n"
        "display that is not TrueColor or a compositor without what plix needs (with\n"
        "--idle: no Wayland display, or no idle protocol).\n");
}

int bad(const char *what, const char *value) {
    if (value)
        fprintf(stderr, "plix: %s: %s (try --help)\n", what, value);
    else
        fprintf(stderr, "plix: %s (try --help)\n", what);
    return 2;
}

// An X window id: decimal or 0x hex, non-zero, at most 32 bits.
bool parse_window_id(const char *s, unsigned long *out) {
    const bool hex = s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const char *digits = hex ? s + 2 : s;
    if (!*digits || strspn(digits, hex ? "0123456789abcdefABCDEF" : "0123456789") != strlen(digits))
        return false;
    errno = 0;
    const unsigned long long v = strtoull(digits, nullptr, hex ? 16 : 10);
    if (errno || v == 0 || v > 0xFFFFFFFFULL) return false;
    *out = static_cast<unsigned long>(v);
    return true;
}

// A settings option: its row and value, or -1 when it is none.
int setting_option(const std::string &arg, int32_t *value) {
    for (int row = 0; row < setting_count; row++) {
        const setting_key &k = setting_keys[row];
        const std::string name = option_name(k);
        if (name == arg) {
            *value = 1;  // a flag; a number's value is read by the caller
            return row;
        }
        if (k.is_flag && "--no-" + name.substr(2) == arg) {
            *value = 0;
            return row;
        }
    }
    return -1;
}

}  // namespace

int parse_options(int argc, char **argv, const char *screensaver_window, plix_options *o) {
    bool seen_root = false, seen_id = false, seen_size = false, seen_frames = false;
    bool seen_fps = false, seen_idle = false;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "-h")) {
            print_usage();
            return 1;
        }
        // XScreenSaver's hacks take "-name"; "--name=value" carries its value along.
        const bool one_dash = strlen(argv[i]) > 2 && argv[i][0] == '-' && argv[i][1] != '-';
        std::string arg = one_dash ? "-" : "";
        arg += argv[i];
        const char *attached = strchr(argv[i], '=');
        if (attached && arg.compare(0, 2, "--") == 0)
            arg.resize(arg.find('='));
        else
            attached = nullptr;
        if (attached) attached++;
        const char *name = arg.c_str();
        if (!strcmp(name, "--help") || !strcmp(name, "--version") ||
            !strcmp(name, "--install-xscreensaver") || !strcmp(name, "--uninstall-xscreensaver")) {
            if (argc != 2 || attached) return bad("takes no other arguments", name);
            if (!strcmp(name, "--help")) {
                print_usage();
                return 1;
            }
            if (!strcmp(name, "--version")) {
                printf("plix %s\n", PLIX_VERSION);
                return 1;
            }
            o->action = name[2] == 'i' ? list_action::install : list_action::uninstall;
            return 0;
        }
        if (!strcmp(name, "--uninstall-autostart")) {
            if (argc != 2 || attached) return bad("takes no other arguments", name);
            o->action = list_action::uninstall_autostart;
            return 0;
        }
        if (!strcmp(name, "--install-autostart")) {
            const char *value = attached ? attached : i + 1 < argc ? argv[i + 1] : nullptr;
            if (!value) return bad("missing value after", name);
            if (argc != (attached ? 2 : 3)) return bad("takes no other arguments", name);
            if (!parse_number(value, 1, idle_seconds_max, &o->idle_seconds))
                return bad("--install-autostart must be a decimal 1..4294967 (seconds)", value);
            o->action = list_action::install_autostart;
            return 0;
        }
        int32_t flag_value;
        const int row = setting_option(arg, &flag_value);
        bool *seen = nullptr;
        if (row >= 0)
            seen = &o->setting_given[row];
        else if (arg == "--root")
            seen = &seen_root;
        else if (arg == "--fps")
            seen = &seen_fps;
        else if (arg == "--window-id")
            seen = &seen_id;
        else if (arg == "--size")
            seen = &seen_size;
        else if (arg == "--frames")
            seen = &seen_frames;
        else if (arg == "--seed")
            seen = &o->seed_given;
        else if (arg == "--idle")
            seen = &seen_idle;
        else if (arg == "--frames-ahead")
            seen = &o->frames_ahead_given;
        else if (arg == "--settings")
            seen = nullptr;
        else
            return bad("unknown argument", argv[i]);
        // Each option once: "--bounce --no-bounce" is a contradiction, not an override.
        if (seen ? *seen : o->settings_file != nullptr) return bad("given twice", name);
        if (seen) *seen = true;

        const bool takes_value = (row >= 0 && !setting_keys[row].is_flag) ||
                                 (row < 0 && seen != &seen_root && seen != &seen_fps);
        if (!takes_value) {
            if (attached) return bad("takes no value", argv[i]);
            if (row >= 0) o->setting_value[row] = flag_value;
            continue;
        }
        if (!attached && i + 1 >= argc) return bad("missing value after", name);
        const char *value = attached ? attached : argv[++i];
        long long n;
        if (row >= 0) {
            // A number of dots below 0 is a typing slip here; the settings file
            // keeps its old meaning (the saver's "Out of memory").
            const bool count = !strcmp(setting_keys[row].key, "dot_count");
            if (!parse_number(value, count ? 0 : INT32_MIN, INT32_MAX, &n))
                return bad((arg + (count ? " must be a decimal 0..2147483647"
                                         : " must be a signed 32-bit decimal"))
                               .c_str(),
                           value);
            o->setting_value[row] = int32_t(n);
        } else if (arg == "--window-id") {
            if (!parse_window_id(value, &o->window_id))
                return bad("--window-id must be a window id, decimal or 0x hex", value);
        } else if (arg == "--size") {
            if (!parse_size(value, &o->width, &o->height))
                return bad("--size must be WxH with each side 1..32767", value);
        } else if (arg == "--frames") {
            if (!parse_number(value, 0, INT32_MAX, &o->frames))
                return bad("--frames must be a decimal 0..2147483647", value);
        } else if (arg == "--idle") {
            if (!parse_number(value, 1, idle_seconds_max, &o->idle_seconds))
                return bad("--idle must be a decimal 1..4294967 (seconds)", value);
        } else if (arg == "--seed") {
            if (!parse_number(value, INT32_MIN, INT32_MAX, &n))
                return bad("--seed must be a signed 32-bit decimal", value);
            o->seed = int32_t(n);
        } else if (arg == "--frames-ahead") {
            if (!parse_number(value, 0, INT32_MAX, &n))
                return bad("--frames-ahead must be a decimal 0..2147483647", value);
            o->frames_ahead = int32_t(n);
        } else {  // --settings
            // The profile reader takes its path from the program's fixed buffer.
            if (!*value) return bad("--settings needs a file name", nullptr);
            if (!settings_path_fits(value))
                return bad("settings path longer than 255 bytes", value);
            o->settings_file = value;
        }
    }
    // A file named here and missing is a mistake, not a request for all zeros.
    char why[256] = "no such file";
    if (o->settings_file &&
        plat_file_check(o->settings_file, why, sizeof why) != plat_file_readable)
        return bad((std::string("cannot read --settings file (") + why + ")").c_str(),
                   o->settings_file);
    // --idle covers every Wayland output whenever idle comes, and never ends on its own.
    if (seen_idle) {
        const char *meaningless = seen_frames ? "--frames"
                                  : seen_root ? "--root"
                                  : seen_id   ? "--window-id"
                                  : seen_size ? "--size"
                                              : nullptr;
        if (meaningless)
            return bad((std::string(meaningless) +
                        " has no meaning with --idle, which covers every Wayland output")
                           .c_str(),
                       nullptr);
        if (o->frames_ahead_given)
            return bad("--frames-ahead has no meaning with --idle, whose every showing is a new field",
                       nullptr);
        o->fps = seen_fps;
        return 0;  // not a host's window: XSCREENSAVER_WINDOW is not ours to draw in
    }
    // The window a host names wins over --root: XScreenSaver's settings window
    // previews a hack by adding its own window to the command line "--root" and all.
    if (seen_id) {
        o->target = draw_target::window_id;
    } else if (screensaver_window && *screensaver_window) {
        if (!parse_window_id(screensaver_window, &o->window_id))
            return bad("XSCREENSAVER_WINDOW is not a window id", screensaver_window);
        o->target = draw_target::window_id;
    } else if (seen_root) {
        o->target = draw_target::root;
    }
    o->fps = seen_fps;
    if (!seen_frames) o->frames = -1;
    return 0;
}

int apply_frames_ahead_variables(const char *seed, const char *frames, plix_options *o) {
    frames_ahead_request r;
    const char *bad_variable = nullptr;
    if (!parse_frames_ahead(seed, frames, &r, &bad_variable)) {
        const bool seed_bad = bad_variable == frames_ahead_seed_variable;
        return bad(seed_bad ? "$PLIX_SEED must be a signed 32-bit decimal"
                            : "$PLIX_FRAMES_AHEAD must be a decimal 0..2147483647",
                   seed_bad ? seed : frames);
    }
    if (!o->seed_given && r.seed_given) {
        o->seed_given = true;
        o->seed = r.seed;
    }
    if (!o->frames_ahead_given) o->frames_ahead = r.frames;
    return 0;
}

void apply_settings(const plix_options &o) {
    if (o.settings_file) {
        strcpy(lpIniFileNameAndPath, o.settings_file);
        load_settings();
    } else {
        for (const setting_key &k : setting_keys) *k.value = shipped_default(k.key);
    }
    for (int row = 0; row < setting_count; row++)
        if (o.setting_given[row]) *setting_keys[row].value = o.setting_value[row];
}
