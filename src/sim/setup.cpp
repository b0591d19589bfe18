// The random source and the saver's set-up: settings, arrays, screen, dots.
#include <climits>
#include <cstddef>
#include <cstdlib>

#include "settings/settings.h"
#include "sim/dots.h"

int32_t rand_seed;
plix *dot;
history *dot_trails;
dirty_pixels *dirty_dot;
int cx, cy;
float dot_fade;

const char out_of_memory_text[] =
    "Sorry, there isn't enough memory to run the screensaver.\r\n"
    "Try specifying fewer Plix or shorter trails in the configuration.";
const char out_of_memory_caption[] = "Out of memory";

int rnd() {
    // The product wraps in 32 bits; unsigned arithmetic keeps that defined.
    rand_seed = int32_t(uint32_t(rand_seed) * 1103515245u + 12345u);
    // Signed division truncates toward zero: not the same as >> 16 for a negative state.
    return (rand_seed / 65536) & 0x7FFF;
}

int64_t dirty_capacity(int32_t count, int32_t history_len) {
    if (count < 0 || history_len < -2) return -1;
    int64_t n = int64_t(count) * (int64_t(history_len) + 2);  // at most about 2^62: no overflow
    // The frame counts its entries in the 32-bit dirty_dot_index.
    return n > INT32_MAX ? -1 : n;
}

// No block is larger than a 32-bit Windows program can ever be given. The 64-bit
// and native builds keep to it as well: a count that only a 64-bit address space
// could hold would otherwise be granted and then page for minutes, or take Wine
// a minute to refuse, instead of showing "Out of memory" at once.
constexpr uint64_t largest_block = 0x7FFFFFFF;

// malloc for `count` records of `size` bytes; null when negative or too big.
// A zero count still gets a real (empty) block, since it is no failure.
static void *alloc_records(int64_t count, size_t size) {
    if (count < 0 || uint64_t(count) > largest_block / size) return nullptr;
    size_t bytes = size_t(count) * size;
    return malloc(bytes ? bytes : 1);
}

int alloc_dots() {
    dot = static_cast<plix *>(alloc_records(dot_count, sizeof(plix)));
    dot_trails = static_cast<history *>(
        alloc_records(dot_count < 0 ? -1 : int64_t(dot_count) * dot_history, sizeof(history)));
    dirty_dot = static_cast<dirty_pixels *>(
        alloc_records(dirty_capacity(dot_count, dot_history), sizeof(dirty_pixels)));
    if (!dot || !dot_trails || !dirty_dot) return 1;
    for (int32_t i = 0; i < dot_count; i++)
        dot[i].hist = dot_trails + std::ptrdiff_t(i) * dot_history;
    return 0;
}

void free_dots() {
    free(dot);
    free(dot_trails);
    free(dirty_dot);
    dot = nullptr;
    dot_trails = nullptr;
    dirty_dot = nullptr;
}

void clamp_dot_history() {
    if (dot_history > dot_historyy) dot_history = dot_historyy;
    if (dot_history < 1) dot_history = 1;
}

static int clamp_screen_side(int v) {
    // A headless machine reports 0; trail points hold 16-bit coordinates.
    return v < 1 ? 1 : v > 32767 ? 32767 : v;
}

void set_screen_size(int width, int height) {
    cx = clamp_screen_side(width);
    cy = clamp_screen_side(height);
}

void set_dot_fade() { dot_fade = float(256.0 / dot_history); }

void init_dots() { init_dots_part(0, nullptr); }

int32_t init_dots_part(int32_t first, int (*pause)()) {
    int64_t points = 0;
    for (int32_t i = first; i < dot_count; i++) {
        if (pause && points >= 65536) {
            if (pause()) return i;
            points = 0;
        }
        points += dot_history;
        plix &d = dot[i];
        // The order of the draws is fixed: r, g, b, then x and y for random starts.
        d.r = int16_t(rnd() % 256);
        d.g = int16_t(rnd() % 256);
        d.b = int16_t(rnd() % 256);
        int sx = cx / 2, sy = cy / 2;
        if (starting_pos) {
            sx = rnd() % cx;
            sy = rnd() % cy;
        }
        d.x = float(sx);
        d.y = float(sy);
        for (int h = 0; h < dot_history; h++) d.hist[h] = {int16_t(sx), int16_t(sy)};
        d.xv = 0;
        d.yv = 0;
    }
    return dot_count;
}

// Within 0..side-1.
static int16_t clamp_to_field(int v, int side) {
    return int16_t(v < 0 ? 0 : v >= side ? side - 1 : v);
}

// The whole field sizes that take position p (within 0..32766) back into 0..side-1.
static int wrap_shift(float p, int side) {
    const int fields = int32_t(p) / side;  // whole fields: the truncation is meant
    return fields * side;
}

void refit_field(int width, int height) {
    set_screen_size(width, height);
    const float right = float(cx - 1), bottom = float(cy - 1);
    for (int32_t i = 0; i < dot_count; i++) {
        plix &d = dot[i];
        const int sx = wrap_shift(d.x, cx), sy = wrap_shift(d.y, cy);
        // Exact: the difference keeps the fraction and is smaller than the position.
        d.x -= float(sx);
        d.y -= float(sy);
        // The fraction may still pass the last column (799.5 in a field of 800).
        if (!(right >= d.x)) d.x = right;
        if (!(bottom >= d.y)) d.y = bottom;
        for (int h = 0; h < dot_history; h++) {
            history &p = d.hist[h];
            p = {clamp_to_field(p.x - sx, cx), clamp_to_field(p.y - sy, cy)};
        }
    }
}

// The trail clamped and the arrays; 1 (nothing held) when they cannot be had.
static int arrays() {
    clamp_dot_history();
    if (alloc_dots() == 0) return 0;
    free_dots();  // whichever of the two was obtained
    return 1;
}

// The random state, the settings and the arrays, as arrays() answers.
static int settings_and_arrays(int32_t seed) {
    rand_seed = seed;
    load_settings();
    return arrays();
}

int setup_arrays(plat_window owner) {
    if (arrays() == 0) return 0;
    plat_message_box(owner, out_of_memory_text, out_of_memory_caption);
    return 1;
}

int setup_settings_and_arrays(int32_t seed, plat_window owner) {
    rand_seed = seed;
    load_settings();
    return setup_arrays(owner);
}

void setup_screen_and_dots(int width, int height) {
    set_screen_size(width, height);
    set_dot_fade();
    init_dots();
}

int saver_setup(plat_instance instance, plat_window owner, int width, int height,
                const int32_t *seed) {
    GetIniFilePath(instance);
    if (setup_settings_and_arrays(seed ? *seed : plat_tick_count(), owner) != 0) return 1;
    setup_screen_and_dots(width, height);
    return 0;
}

int preview_setup(plat_instance instance, int width, int height) {
    GetIniFilePath(instance);
    if (settings_and_arrays(plat_tick_count()) != 0) return 1;
    setup_screen_and_dots(width, height);
    return 0;
}
