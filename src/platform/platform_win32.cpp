// The platform services, made with the real Win32 calls.
#include <windows.h>

#include "platform/platform.h"

const char plat_path_separator = '\\';

const char *plat_command_line() { return GetCommandLineA(); }

plat_window plat_foreground_window() {
    return reinterpret_cast<plat_window>(GetForegroundWindow());
}

int32_t plat_tick_count() { return int32_t(GetTickCount()); }

int plat_screen_width() { return GetSystemMetrics(SM_CXSCREEN); }
int plat_screen_height() { return GetSystemMetrics(SM_CYSCREEN); }

unsigned plat_module_file_name(plat_instance instance, char *buf, unsigned size) {
    DWORD n = GetModuleFileNameA(reinterpret_cast<HMODULE>(instance), buf, size);
    if (size) buf[n < size ? n : size - 1] = '\0';  // XP leaves a truncated path unterminated
    return n;
}

unsigned plat_profile_int(const char *section, const char *key, int def, const char *path) {
    return GetPrivateProfileIntA(section, key, def, path);
}

int plat_profile_write(const char *section, const char *key, const char *value, const char *path) {
    return WritePrivateProfileStringA(section, key, value, path);
}

void plat_message_box(plat_window owner, const char *text, const char *caption) {
    MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, MB_OK);
}
