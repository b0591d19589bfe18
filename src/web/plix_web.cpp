// Plix in a web page: the saver's settings, set-up and frame step over the web
// platform, exported to the page's script (web/plix.js) and to the golden check
// under Node.js (tests/web/golden.mjs); built natively too, for the tests that
// call the exports in the page's order. All state lives in `g`.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "framebuf/framebuf.h"
#include "inifile/inifile.h"
#include "platform/memory/memory_screen.h"
#include "platform/web/web.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"
#include "web/plix_web.h"

// Natively (the tests) these are plain C functions.
#if defined(__wasm__)
#define EXPORT(name) extern "C" __attribute__((export_name(#name)))
#define IMPORT(name) extern "C" __attribute__((import_module("plix"), import_name(#name)))
#else
#define EXPORT(name) extern "C"
#define IMPORT(name) extern "C"
#endif

// The page's clock, performance.now() in milliseconds (natively, the test's).
IMPORT(now) double page_now();

namespace {

// The most the page puts at once: a few milliseconds' work.
constexpr int32_t band_pixels = 1 << 20;

// What changed goes to the canvas in pieces, one putImageData each; the bound
// keeps a refresh's calls in hand, the gap widening past it.
constexpr int32_t change_room = 512;

struct web_field {
    frame_buffer frame;
    bool running;
    int32_t unset_dot;    // the first dot the set-up has still to lay out
    int32_t next_dot;     // where a frame cut short by the page's clock goes on; 0: none is
    double until;         // plix_run's deadline on the page's clock
    int32_t band_pixels;  // the most the page puts at once: many rows, or one long row
    pixel_rect pieces[change_room];
    int32_t changed[1 + 4 * change_room];  // what plix_changes gives: n, then x, y, w, h each
    char message[1024];                    // why the last save failed
    // The page's form: what plix_setting gives, plix_set_setting and
    // plix_read_settings change and plix_save writes. The eight settings
    // variables are the running field's, which the frame step and its arrays
    // rely on: only plix_start changes them, through the set-up that clamps.
    int32_t form[8];
};
web_field g;

// Trades the form's values and those of the eight settings variables: done
// around the settings file's calls, which read and write the variables, and done
// again after, so the running field's are back where the step reads them.
void swap_form_values() {
    for (int i = 0; i < 8; i++) std::swap(g.form[i], *setting_keys[i].value);
}

void stop_field() {
    deinit_framebuf(&g.frame);
    free_dots();
    g.running = false;
    g.next_dot = 0;
}

int past_deadline() { return page_now() >= g.until ? 1 : 0; }

// The set-up's dots not yet laid out, then the frame under way or a new one, to
// its end or until `pause` says so; a finished frame is presented. True when it
// finished.
bool go_on(frame_stop_check pause) {
    if (g.unset_dot < dot_count) g.unset_dot = init_dots_part(g.unset_dot, pause);
    if (g.unset_dot < dot_count || !render_dots_part(&g.frame, &g.next_dot, pause)) return false;
    present_frame(memory_screen(), &g.frame);
    return true;
}

}  // namespace

// Room for a settings file of `size` bytes, for the page to fill.
EXPORT(plix_settings_buffer) char *plix_settings_buffer(int32_t size) {
    web_settings_text().assign(size_t(size), '\0');
    return web_settings_text().data();
}

// Reads the eight settings as the saver does, from the file just put in the
// buffer (state 1), an unreadable one (2) or none (0). Returns a bit per setting
// that the file does not hold as a plain number (missing, empty, not a number,
// or written some other way) and so may not read as it was meant.
EXPORT(plix_read_settings) int32_t plix_read_settings(int32_t state) {
    web_set_settings_state(plat_file_state(state));
    snprintf(lpIniFileNameAndPath, sizeof lpIniFileNameAndPath, "%s", lpIniFileName);
    swap_form_values();
    load_settings();
    int32_t unclear = 0;
    const std::string &text = web_settings_text();
    for (int i = 0; i < 8; i++) {
        // Storing what was read changes nothing only where the file held exactly that.
        std::string as_stored;
        const std::string value = std::to_string(*setting_keys[i].value);
        if (state != plat_file_readable ||
            !ini_set_string(text, "Plix", setting_keys[i].key, value.c_str(), &as_stored) ||
            as_stored != text)
            unclear |= 1 << i;
    }
    swap_form_values();
    return unclear;
}

EXPORT(plix_setting_count) int32_t plix_setting_count() { return 8; }
EXPORT(plix_setting_key) const char *plix_setting_key(int32_t i) { return setting_keys[i].key; }
EXPORT(plix_setting_is_flag) int32_t plix_setting_is_flag(int32_t i) {
    return setting_keys[i].is_flag;
}
// The form's values, not the running field's.
EXPORT(plix_setting) int32_t plix_setting(int32_t i) { return g.form[i]; }
EXPORT(plix_set_setting) void plix_set_setting(int32_t i, int32_t value) { g.form[i] = value; }

// The dialog's OK: the form's eight values written to the settings file, as
// they are (a trail past 1024 too). 1, or 0 with plix_message saying why.
EXPORT(plix_save) int32_t plix_save() {
    const bool all[8] = {true, true, true, true, true, true, true, true};
    g.message[0] = '\0';
    swap_form_values();
    const int32_t saved = save_settings(all, g.message, sizeof g.message);
    swap_form_values();
    return saved;
}

EXPORT(plix_settings_text) const char *plix_settings_text() { return web_settings_text().data(); }
EXPORT(plix_settings_size) int32_t plix_settings_size() {
    return int32_t(web_settings_text().size());
}

// The last problem to show: a failed save, or a message box such as "Out of memory".
EXPORT(plix_message) const char *plix_message() {
    return g.message[0] ? g.message : web_message().c_str();
}

// The picture chow eats into, width x height in the frame buffer's format, for the
// page to fill before plix_start; null when the memory cannot be had.
EXPORT(plix_picture) uint32_t *plix_picture(int32_t width, int32_t height) {
    return web_picture(width, height);
}

// The saver's set-up with the settings in the file: a width x height field from
// `seed`, its first paint on the screen. 0, or 1 when the memory cannot be had
// (plix_message says so). The dots are laid out by the first frame's call, in
// parts with plix_run: many take long. Nothing between draws from rnd.
EXPORT(plix_start) int32_t plix_start(int32_t seed, int32_t width, int32_t height) {
    stop_field();
    web_clear_message();
    g.message[0] = '\0';
    web_set_tick_count(seed);
    if (setup_settings_and_arrays(plat_tick_count(), nullptr) != 0) return 1;
    set_screen_size(width, height);
    set_dot_fade();
    g.unset_dot = 0;
    g.band_pixels = cx > band_pixels ? cx : band_pixels;
    // The screen in the canvas's order: each piece is put from it as it stands.
    if (new_picture(&g.frame, cx, cy, dirty_dot, chow, 0, 0) != 0 ||
        !memory_screen_reset(cx, cy, screen_order::canvas)) {
        stop_field();
        plat_message_box(nullptr, out_of_memory_text, out_of_memory_caption);
        return 1;
    }
    present_whole(memory_screen(), &g.frame);
    g.running = true;
    return 0;
}

// `count` frames of the saver's timer, whatever they take.
EXPORT(plix_frames) void plix_frames(int32_t count) {
    for (int32_t i = 0; g.running && i < count; i++) go_on(nullptr);
}

// Right after plix_start, for measuring a long run: the set-up finished and the
// field brought `count` frames forward at once, unseen, then shown whole; the
// screen is then what `count` frames of plix_frames would have made it. Holds
// the page until done.
EXPORT(plix_frames_ahead) void plix_frames_ahead(int32_t count) {
    if (!g.running || g.next_dot != 0) return;  // not between frames
    g.unset_dot = init_dots_part(g.unset_dot, nullptr);
    render_frames_ahead(&g.frame, count);
    present_whole(memory_screen(), &g.frame);
}

// Up to `count` frames, but no further once the page's clock reaches `until`:
// a frame that takes long (huge settings) is cut between dots and goes on at the
// next call, so the page can answer meanwhile. Returns the frames finished.
EXPORT(plix_run) int32_t plix_run(int32_t count, double until) {
    g.until = until;
    int32_t done = 0;
    while (g.running && done < count && go_on(past_deadline)) {
        done++;
        if (past_deadline()) break;
    }
    return done;
}

EXPORT(plix_width) int32_t plix_width() { return g.running ? cx : 0; }
EXPORT(plix_height) int32_t plix_height() { return g.running ? cy : 0; }
EXPORT(plix_pixels_per_frame) int32_t plix_pixels_per_frame() {
    return int32_t(dirty_capacity(dot_count, dot_history));
}
// The screen, R G B A bytes: for putImageData's dirty rectangle, so that a piece
// costs the canvas one call.
EXPORT(plix_screen) const uint32_t *plix_screen() { return memory_screen_pixels(); }
EXPORT(plix_band_pixels) int32_t plix_band_pixels() { return g.running ? g.band_pixels : 0; }

// The parts of the screen that changed since the last call, at most
// change_room of them, not overlapping: their number n (0 when nothing
// changed), then x, y, w, h of each; runs of changed tiles up to `gap` tiles
// apart in a row of tiles go as one (the page's choice, by what a call costs
// it), and a gap below 0 gives the one rectangle bounding them all. The page
// puts each from the screen, in bands when it is large.
EXPORT(plix_changes) const int32_t *plix_changes(int32_t gap) {
    int32_t n = 0;
    if (g.running && gap >= 0) {
        n = memory_screen_take_change_rects(gap, g.pieces, change_room);
    } else if (g.running) {
        const screen_change r = memory_screen_take_changes();
        n = r.right > r.left ? 1 : 0;
        g.pieces[0] = {r.left, r.top, r.right, r.bottom};
    }
    g.changed[0] = n;
    for (int32_t k = 0; k < n; k++) {
        const pixel_rect &r = g.pieces[k];
        int32_t *const out = g.changed + 1 + 4 * k;
        out[0] = r.left;
        out[1] = r.top;
        out[2] = r.right - r.left;
        out[3] = r.bottom - r.top;
    }
    return g.changed;
}
