// Plix in a web page: the saver's settings, set-up and frame step over the web
// platform, exported to the page's script (web/plix.js) and to the golden check
// under Node.js (tests/web/golden.mjs). All state lives in `g`.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framebuf/framebuf.h"
#include "inifile/inifile.h"
#include "platform/web.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"

#define EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

struct web_field {
    frame_buffer frame;
    bool running;
    uint32_t *rgba;           // the screen as the canvas wants it, R G B A bytes
    int32_t drawn[4];         // the rectangle plix_draw converted: x, y, w, h
    char message[1024];       // why the last save failed
};
web_field g;

void stop_field() {
    deinit_framebuf(&g.frame);
    free_dots();
    free(g.rgba);
    g.rgba = nullptr;
    g.running = false;
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
    return unclear;
}

EXPORT(plix_setting_count) int32_t plix_setting_count() { return 8; }
EXPORT(plix_setting_key) const char *plix_setting_key(int32_t i) { return setting_keys[i].key; }
EXPORT(plix_setting_is_flag) int32_t plix_setting_is_flag(int32_t i) {
    return setting_keys[i].is_flag;
}
EXPORT(plix_setting) int32_t plix_setting(int32_t i) { return *setting_keys[i].value; }
EXPORT(plix_set_setting) void plix_set_setting(int32_t i, int32_t value) {
    *setting_keys[i].value = value;
}

// The dialog's OK: all eight written to the settings file. 1, or 0 with
// plix_message saying why.
EXPORT(plix_save) int32_t plix_save() {
    const bool all[8] = {true, true, true, true, true, true, true, true};
    g.message[0] = '\0';
    return save_settings(all, g.message, sizeof g.message);
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
// (plix_message says so).
EXPORT(plix_start) int32_t plix_start(int32_t seed, int32_t width, int32_t height) {
    stop_field();
    web_clear_message();
    g.message[0] = '\0';
    web_set_tick_count(seed);
    if (setup_settings_and_arrays(plat_tick_count(), nullptr) != 0) return 1;
    setup_screen_and_dots(width, height);
    g.rgba = static_cast<uint32_t *>(calloc(size_t(cx) * size_t(cy), 4));
    if (!g.rgba || init_framebuf(&g.frame, cx, cy) != 0 || !web_screen_reset(cx, cy)) {
        stop_field();
        plat_message_box(nullptr, out_of_memory_text, out_of_memory_caption);
        return 1;
    }
    g.frame.dirty_dot = dirty_dot;
    if (chow) plat_capture_screen(&g.frame, 0, 0);
    present_whole(web_screen(), &g.frame);
    g.running = true;
    return 0;
}

// `count` frames of the saver's timer.
EXPORT(plix_frames) void plix_frames(int32_t count) {
    if (!g.running) return;
    for (int32_t i = 0; i < count; i++) render(web_screen(), &g.frame);
}

EXPORT(plix_width) int32_t plix_width() { return g.running ? cx : 0; }
EXPORT(plix_height) int32_t plix_height() { return g.running ? cy : 0; }
EXPORT(plix_pixels_per_frame) int32_t plix_pixels_per_frame() {
    return int32_t(dirty_capacity(dot_count, dot_history));
}
EXPORT(plix_screen) const uint32_t *plix_screen() { return web_screen_pixels(); }
EXPORT(plix_rgba) const uint32_t *plix_rgba() { return g.rgba; }

// The part of the screen that changed since the last call, converted into
// plix_rgba in one pass (bits 16-23 red, 8-15 green, 0-7 blue, opaque).
// Returns x, y, w, h of that part; w is 0 when nothing changed.
EXPORT(plix_draw) const int32_t *plix_draw() {
    const screen_change r = g.running ? web_take_changes() : screen_change{};
    const uint32_t *screen = web_screen_pixels();
    for (int32_t y = r.top; y < r.bottom; y++) {
        const size_t row = size_t(y) * size_t(cx);
        for (int32_t x = r.left; x < r.right; x++) {
            const uint32_t p = screen[row + size_t(x)];
            g.rgba[row + size_t(x)] =
                0xFF000000u | (p & 0x00FF00u) | (p >> 16 & 0xFFu) | (p & 0xFFu) << 16;
        }
    }
    const bool some = r.right > r.left && r.bottom > r.top;
    g.drawn[0] = r.left;
    g.drawn[1] = r.top;
    g.drawn[2] = some ? r.right - r.left : 0;
    g.drawn[3] = some ? r.bottom - r.top : 0;
    return g.drawn;
}
