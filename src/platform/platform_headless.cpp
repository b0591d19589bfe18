// Stand-ins for the platform services with no window system: fixed values that
// tests set, and our own settings-file reader and writer. The frame buffer and
// the screen in memory are in framebuf_headless.cpp.
// The native build uses them throughout; the Windows build only in plix-sim.exe.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/headless.h"
#include "platform/ini_file.h"
#include "platform/platform.h"

const char plat_path_separator = '/';

static std::string g_command_line;
static plat_window g_foreground;
static int32_t g_ticks;
static int g_width, g_height;
static std::string g_module_path;
static std::string g_boxes;

void headless_set_command_line(const char *cmdline) { g_command_line = cmdline; }
void headless_set_foreground_window(plat_window w) { g_foreground = w; }
void headless_set_tick_count(int32_t ticks) { g_ticks = ticks; }
void headless_set_screen_size(int width, int height) {
    g_width = width;
    g_height = height;
}
void headless_set_module_file_name(const char *path) { g_module_path = path; }
const std::string &headless_message_boxes() { return g_boxes; }

void headless_reset() {
    g_command_line.clear();
    g_foreground = nullptr;
    g_ticks = 0;
    g_width = g_height = 0;
    g_module_path.clear();
    g_boxes.clear();
}

const char *plat_command_line() { return g_command_line.c_str(); }
plat_window plat_foreground_window() { return g_foreground; }
int32_t plat_tick_count() { return g_ticks; }
int plat_screen_width() { return g_width; }
int plat_screen_height() { return g_height; }

unsigned plat_module_file_name(plat_instance, char *buf, unsigned size) {
    if (size == 0) return 0;
    const std::string &path = g_module_path;
    if (path.size() >= size) {  // truncated, as GetModuleFileNameA does
        path.copy(buf, size - 1);
        buf[size - 1] = '\0';
        return size;
    }
    path.copy(buf, path.size());
    buf[path.size()] = '\0';
    return unsigned(path.size());
}

unsigned plat_profile_int(const char *section, const char *key, int def, const char *path) {
    return ini_file_get_int(path, section, key, def);
}

int plat_profile_write(const char *section, const char *key, const char *value, const char *path) {
    return ini_file_write(path, section, key, value);
}

void plat_message_box(plat_window owner, const char *text, const char *caption) {
    g_boxes += std::string(caption) + "|" + text + "|" +
               std::to_string(reinterpret_cast<intptr_t>(owner)) + "\n";
    fprintf(stderr, "%s: %s\n", caption, text);
}
