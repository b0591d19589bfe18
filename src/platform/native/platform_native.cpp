// The native platform: the services of the programs that run without Win32
// (plix-sim, the unit tests, and plix beside its X11 frame buffer): values that
// tests set, our own settings-file reader and writer, messages on stderr. The
// frame buffer and the screen in memory are in ../memory/. The Windows build
// uses it only in plix-sim.exe.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "inifile/inifile.h"
#include "platform/native/native.h"
#include "platform/platform.h"

const char plat_path_separator = '/';

static std::string g_command_line;
static int32_t g_ticks;
static screen_rect g_screen;
static std::string g_module_path;
static std::string g_app_data;
static std::string g_boxes;

void native_set_command_line(const char *cmdline) { g_command_line = cmdline; }
void native_set_tick_count(int32_t ticks) { g_ticks = ticks; }
void native_set_screen_size(int width, int height) { g_screen = {0, 0, width, height}; }
void native_set_module_file_name(const char *path) { g_module_path = path; }
void native_set_app_data_folder(const char *path) { g_app_data = path; }
const std::string &native_message_boxes() { return g_boxes; }

void native_reset() {
    g_command_line.clear();
    g_ticks = 0;
    g_screen = {};
    g_module_path.clear();
    g_app_data.clear();
    g_boxes.clear();
}

const char *plat_command_line() { return g_command_line.c_str(); }
plat_window plat_foreground_window() { return nullptr; }  // no windows here
int32_t plat_tick_count() { return g_ticks; }
screen_rect plat_virtual_screen() { return g_screen; }

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
    return ini_file_set_string(path, section, key, value);
}

int plat_app_data_folder(char *buf, unsigned size) {
    if (g_app_data.empty() || g_app_data.size() >= size) return 0;
    memcpy(buf, g_app_data.c_str(), g_app_data.size() + 1);
    return 1;
}

static void errno_text(int err, char *why, unsigned why_size) {
    snprintf(why, why_size, "%s", ini_file_error_text(err));
}

// As our reader reads: a regular file of at most 64 MiB, never waiting on a FIFO.
plat_file_state plat_file_check(const char *path, char *why, unsigned why_size) {
    int state = ini_file_check(path);
    if (state == 0) return plat_file_missing;
    if (state > 0) return plat_file_readable;
    errno_text(errno, why, why_size);
    return plat_file_unreadable;
}

int plat_create_folder(const char *path, char *why, unsigned why_size) {
#ifdef _WIN32
    int made = mkdir(path);  // MinGW's takes no mode
#else
    int made = mkdir(path, 0777);
#endif
    struct stat st;
    if (made == 0 || (errno == EEXIST && stat(path, &st) == 0 && S_ISDIR(st.st_mode))) return 1;
    errno_text(errno == EEXIST ? ENOTDIR : errno, why, why_size);
    return 0;
}

int plat_profile_write_all(const char *section, const char *const *keys, const char *const *values,
                           int count, const char *path, char *why, unsigned why_size) {
    errno = 0;
    if (ini_file_set_strings(path, section, keys, values, count)) return 1;
    errno_text(errno ? errno : EIO, why, why_size);
    return 0;
}

void plat_message_box(plat_window owner, const char *text, const char *caption) {
    g_boxes += std::string(caption) + "|" + text + "|" +
               std::to_string(reinterpret_cast<intptr_t>(owner)) + "\n";
    fprintf(stderr, "%s: %s\n", caption, text);
}
