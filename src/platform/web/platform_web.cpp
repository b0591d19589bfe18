// The platform services of the web page: a settings file held in memory and read
// and written by our own settings-file text functions, a clock and message box the
// page's script looks at, and a chosen picture in memory for chow (the frame
// buffer and the screen the page shows are ../memory/'s).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "inifile/inifile.h"
#include "platform/platform.h"
#include "platform/memory/memory_screen.h"
#include "platform/web/web.h"

const char plat_path_separator = '/';

namespace {

std::string g_settings;
plat_file_state g_settings_state = plat_file_missing;
int32_t g_ticks;
std::string g_message;

struct memory_picture {
    uint32_t *pixels;
    int width, height;
};
memory_picture g_picture;

bool picture_reset(memory_picture *p, int width, int height) {
    free(p->pixels);
    p->pixels = static_cast<uint32_t *>(calloc(size_t(width) * size_t(height), 4));
    p->width = p->pixels ? width : 0;
    p->height = p->pixels ? height : 0;
    return p->pixels != nullptr;
}

}  // namespace

std::string &web_settings_text() { return g_settings; }
void web_set_settings_state(plat_file_state state) { g_settings_state = state; }
void web_set_tick_count(int32_t ticks) { g_ticks = ticks; }
const std::string &web_message() { return g_message; }
void web_clear_message() { g_message.clear(); }

uint32_t *web_picture(int width, int height) {
    return picture_reset(&g_picture, width, height) ? g_picture.pixels : nullptr;
}

const char *plat_command_line() { return ""; }
plat_window plat_foreground_window() { return nullptr; }
int32_t plat_tick_count() { return g_ticks; }
screen_rect plat_virtual_screen() { return {0, 0, memory_screen_width(), memory_screen_height()}; }

unsigned plat_module_file_name(plat_instance, char *buf, unsigned size) {
    if (size) buf[0] = '\0';
    return 0;
}

// An unreadable file reads as the defaults, as GetPrivateProfileIntA gives them.
unsigned plat_profile_int(const char *section, const char *key, int def, const char *) {
    if (g_settings_state != plat_file_readable) return unsigned(def);
    return ini_get_int(g_settings, section, key, def);
}

int plat_profile_write(const char *section, const char *key, const char *value, const char *) {
    return plat_profile_write_all(section, &key, &value, 1, "", nullptr, 0);
}

int plat_app_data_folder(char *, unsigned) { return 0; }

plat_file_state plat_file_check(const char *, char *why, unsigned why_size) {
    if (g_settings_state == plat_file_unreadable && why_size)
        snprintf(why, why_size, "the browser could not read it");
    return g_settings_state;
}

int plat_create_folder(const char *, char *why, unsigned why_size) {
    if (why_size) snprintf(why, why_size, "a web page has no folders");
    return 0;
}

// All of the keys into a copy, which replaces the text only when every one went in.
// A file that could not be read is started afresh, as the dialog's OK replaces it.
int plat_profile_write_all(const char *section, const char *const *keys, const char *const *values,
                           int count, const char *, char *why, unsigned why_size) {
    std::string text = g_settings_state == plat_file_readable ? g_settings : std::string();
    for (int i = 0; i < count; i++) {
        if (!ini_set_string(text, section, keys[i], values[i], &text)) {
            if (why_size) snprintf(why, why_size, "\"%s\" cannot be stored", keys[i]);
            return 0;
        }
    }
    g_settings = std::move(text);
    g_settings_state = plat_file_readable;
    return 1;
}

void plat_message_box(plat_window, const char *text, const char *caption) {
    g_message = std::string(caption) + ": " + text;
}

// Copies within memory: a pixel costs about as much as a few of a rectangle's, and
// nothing is fixed beyond a call. (The page's real cost is the canvas upload.)
present_costs plat_present_costs() { return {4, 20, 0.3, 20, 20, 0, 0.3}; }

// The browser's upload comes later, when the page hands the canvas the frame.
int64_t plat_present_clock() { return -1; }

// The chosen picture stands for the screen at (0, 0).
void plat_capture_screen(frame_buffer *fb, int32_t x, int32_t y) {
    for (int32_t row = 0; row < fb->height && y + row < g_picture.height; row++) {
        if (x < 0 || y + row < 0 || x >= g_picture.width) continue;
        int32_t w = g_picture.width - x < fb->width ? g_picture.width - x : fb->width;
        memcpy(fb->pixels + size_t(row) * size_t(fb->width),
               g_picture.pixels + size_t(y + row) * size_t(g_picture.width) + size_t(x),
               size_t(w) * 4);
    }
}
