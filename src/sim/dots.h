// The dot field: the random source, the dot records and the saver's set-up.
#pragma once
#include <cstdint>

#include "platform/platform.h"

constexpr int dot_historyy = 1024;  // longest trail a dot can have

struct history {
    int16_t x, y;
};

struct plix {
    int16_t r, g, b;  // 0..255, fixed at set-up
    float x, y;       // position in pixels
    float xv, yv;     // speed in pixels per frame
    // dot_history points of dot_trails; hist[0] is the newest. The trails lie
    // one after another rather than each in room for the longest, so that the
    // step walks only the memory the setting uses (docs/benchmarks-history.md,
    // "Pages mapped at once, trails one after another").
    history *hist;
};

extern int32_t rand_seed;
extern plix *dot;
extern history *dot_trails;  // every dot's trail, one after another
extern dirty_pixels *dirty_dot;
extern int cx, cy;
extern float dot_fade;

// 0..32767; the one random source of the set-up and the frame step.
int rnd();

// The number of dirty-list entries one frame records: dot_count * (dot_history + 2).
// Negative when it cannot be represented, or exceeds what the 32-bit
// dirty_dot_index can count.
int64_t dirty_capacity(int32_t count, int32_t history_len);

// Allocates `dot`, `dot_trails` (dot_count * dot_history points, each dot's
// `hist` pointed at its own) and `dirty_dot` for the current settings; all are
// attempted before any is tested. Returns 0, or 1 when one failed (the others
// may be held).
int alloc_dots();
void free_dots();

// Clamps the trail length to 1..dot_historyy.
void clamp_dot_history();

// Takes the screen size, kept within 1..32767 so every position is drawable and
// fits a trail point.
void set_screen_size(int width, int height);

// dot_fade = 256 / dot_history, divided in double and kept in single precision.
void set_dot_fade();

// Colour, start position, zero speed and a trail lying on the start, per dot.
void init_dots();

// init_dots in parts, for a front end that must answer between them (the web
// page): the dots from `first` on, until `pause` answers non-zero (asked between
// dots, once some 65536 trail points have been laid since the last question) or
// the last is done. Returns the dot to go on from, dot_count when all are done.
// Parts taken in turn draw from rnd exactly as init_dots does.
int32_t init_dots_part(int32_t first, int (*pause)());

// A new field size during a run (a monitor came or went): cx and cy as
// set_screen_size takes them, and every dot kept, colour, speed and trail
// included. A dot now outside moves back by whole field sizes, as a wrap would
// take it, its trail with it; trail points still outside go to the nearest
// edge. No random draws: the run's sequence goes on as before.
void refit_field(int width, int height);

// The set-up after the settings path, in two halves so the headless renderer can
// give its own seed and screen size: the random state, the settings (trail
// clamped) and the arrays, or 1 after the "Out of memory" box; then the field
// size, the fade step and the dots.
int setup_settings_and_arrays(int32_t seed, plat_window owner);
// Its second part, for settings that came from elsewhere (plix's options): the
// trail clamped and the arrays, or 1 (nothing held) after the box.
int setup_arrays(plat_window owner);
void setup_screen_and_dots(int width, int height);

// The whole saver set-up for a field of width x height, before any window
// exists: the random state from the tick count, read after the settings path,
// or from *seed where a benchmark or test gives one. Returns 0, or 1 after the
// "Out of memory" box (owned by `owner`) when the arrays cannot be had.
int saver_setup(plat_instance instance, plat_window owner, int width, int height,
                const int32_t *seed = nullptr);

// The same for the preview in the host's settings window, but without the box:
// the host starts a preview every time it shows the saver, and a modal box in
// its window each time would be worse than the empty preview it replaces.
// Returns 0, or 1 when the arrays cannot be had.
int preview_setup(plat_instance instance, int width, int height);

extern const char out_of_memory_text[];
extern const char out_of_memory_caption[];
