// plix's command line: where to draw, the eight settings and the run controls.
// Free of X11 so the parse stays a plain function of its arguments.
#pragma once
#include <cstdint>

enum class draw_target { own_window, root, window_id };

// Instead of running: plix's line in the programs of ~/.xscreensaver added or
// taken out, or its XDG autostart entry written or removed.
enum class list_action { none, install, uninstall, install_autostart, uninstall_autostart };

// --idle's SECONDS: the idle protocols count milliseconds in 32 bits.
constexpr long long idle_seconds_max = 4294967;

struct plix_options {
    draw_target target = draw_target::own_window;
    unsigned long window_id = 0;          // with draw_target::window_id
    int width = 800, height = 600;        // of its own window
    const char *settings_file = nullptr;  // null: the shipped defaults
    bool setting_given[8] = {};           // per row of setting_keys: an option overrides it
    int32_t setting_value[8] = {};
    bool seed_given = false;
    int32_t seed = 0;
    long long frames = -1;  // -1: no limit
    bool frames_ahead_given = false;
    int32_t frames_ahead = 0;  // frames run unseen before the first picture (benchmarks)
    bool fps = false;
    list_action action = list_action::none;
    long long idle_seconds = 0;  // --idle, or --install-autostart's; 0: not given
};

// Parses argv into *o. `screensaver_window` is $XSCREENSAVER_WINDOW (or null):
// the window to draw into unless --window-id names one. Returns 0 to run (or
// to do o->action), 1 after printing the usage (--help) or the version, 2 after
// one line on stderr (bad options).
int parse_options(int argc, char **argv, const char *screensaver_window, plix_options *o);

// $PLIX_SEED and $PLIX_FRAMES_AHEAD (their texts, or null) where the options gave
// no --seed or --frames-ahead, as Plix.scr takes them. 0, or 2 after one line on
// stderr (a value that is not a number in range).
int apply_frames_ahead_variables(const char *seed, const char *frames, plix_options *o);

// The settings the program runs with: the file's (read as the saver reads
// Plix.ini, a missing key being 0) or the shipped defaults, then the options
// given. Clamping and allocation are left to the set-up.
void apply_settings(const plix_options &o);
