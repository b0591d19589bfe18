// Every service the portable core needs from the operating system, and nothing
// else. platform_win32.cpp makes the real Win32 calls; platform_headless.cpp gives
// the headless build (unit tests, plix-sim) stand-ins with the same behaviour.
#pragma once
#include <cstdint>

// Opaque stand-ins for HWND and HINSTANCE, so no portable header needs windows.h.
typedef struct plat_window_tag *plat_window;
typedef struct plat_instance_tag *plat_instance;

// GetCommandLineA: the whole command line, program name included.
const char *plat_command_line();

// GetForegroundWindow.
plat_window plat_foreground_window();

// GetTickCount, taken as a signed 32-bit value.
int32_t plat_tick_count();

// GetSystemMetrics(SM_CXSCREEN / SM_CYSCREEN): the primary screen in pixels.
int plat_screen_width();
int plat_screen_height();

// GetModuleFileNameA: the program's own path, truncated to size - 1 bytes and
// always zero-terminated. Returns the length copied; size when it was truncated.
unsigned plat_module_file_name(plat_instance instance, char *buf, unsigned size);

// The character that ends a directory in the paths plat_module_file_name gives.
extern const char plat_path_separator;

// GetPrivateProfileIntA(section, key, def, path).
unsigned plat_profile_int(const char *section, const char *key, int def, const char *path);

// WritePrivateProfileStringA(section, key, value, path). Non-zero on success.
int plat_profile_write(const char *section, const char *key, const char *value, const char *path);

// SHGetFolderPathA(CSIDL_APPDATA): the user's own application-data folder, found
// through the user's profile rather than the APPDATA variable, which a program
// may be started without or with another value. 0 when there is none or it does
// not fit `size`.
int plat_app_data_folder(char *buf, unsigned size);

// Whether the file at `path` can be opened for reading. When it exists but cannot
// (locked by another program, no permission, a folder of that name), `why` gets
// the platform's text for the error (FormatMessageA).
enum plat_file_state { plat_file_missing, plat_file_readable, plat_file_unreadable };
plat_file_state plat_file_check(const char *path, char *why, unsigned why_size);

// CreateDirectoryA: non-zero when the folder exists afterwards; else `why` says why.
int plat_create_folder(const char *path, char *why, unsigned why_size);

// The `count` keys of `section` written to the file at `path` as one unit: all of
// them, or none and the file left as it was, with `why` saying why. The Win32 one
// writes a temporary copy beside the file with WritePrivateProfileStringA and
// puts it in place with MoveFileExA; a read-only file is refused.
int plat_profile_write_all(const char *section, const char *const *keys, const char *const *values,
                           int count, const char *path, char *why, unsigned why_size);

// MessageBoxA(owner, text, caption, MB_OK); returns once the user dismissed it.
void plat_message_box(plat_window owner, const char *text, const char *caption);

// A drawing target: the saver window's paint device context (HDC), or the
// headless screen of the native build.
typedef struct plat_dc_tag *plat_dc;

// BitBlt(target, x, y, 1, 1, frame buffer context, x, y, SRCCOPY): one pixel of
// the frame buffer copied unchanged to the same place on the target.
void plat_copy_pixel(plat_dc target, int32_t x, int32_t y);

// GetQueueStatus(QS_KEY | QS_MOUSEBUTTON): non-zero while a key or mouse-button
// message waits in the queue, that is, while the user is ending the saver.
int plat_user_input_waiting();
