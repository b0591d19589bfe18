// Every service the portable core needs from the operating system, and nothing
// else; the frame buffer they take is framebuf/frame_buffer.h. One folder per
// implementation: win32/ makes the real Win32 calls; native/ gives the native
// programs (unit tests, plix-sim, plix) stand-ins with the same behaviour, with
// memory/ (a picture and a screen in memory), or for plix x11/ (an XImage in a
// window) or wayland/ (memory/'s picture shown on every output), which
// display/ chooses between as plix starts; web/ is the web page's, over
// memory/'s picture.
#pragma once
#include <cstdint>

#include "framebuf/frame_buffer.h"  // the picture the frame-buffer services take

// Opaque stand-ins for HWND and HINSTANCE, so no portable header needs windows.h.
typedef struct plat_window_tag *plat_window;
typedef struct plat_instance_tag *plat_instance;

// GetCommandLineA: the whole command line, program name included.
const char *plat_command_line();

// GetForegroundWindow.
plat_window plat_foreground_window();

// GetTickCount, taken as a signed 32-bit value.
int32_t plat_tick_count();

// The virtual screen: the rectangle bounding every monitor, in physical pixels
// (the program declares itself DPI-aware). Its corner is in screen coordinates,
// where the primary monitor starts at (0, 0), so it may be negative. With one
// monitor it is the primary screen at (0, 0).
struct screen_rect {
    int32_t x, y, width, height;
};

// GetSystemMetrics(SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN, SM_CXVIRTUALSCREEN,
// SM_CYVIRTUALSCREEN).
screen_rect plat_virtual_screen();

// The program's own path as GetModuleFileNameA gives it, always zero-terminated:
// the length copied, or `size` when it did not fit (buf then holds a cut-off path
// or nothing). On Win32 it is asked in UTF-16: where the ANSI code page cannot
// spell it or it does not fit, its short (8.3) form is given; with neither, it
// counts as not fitting.
unsigned plat_module_file_name(plat_instance instance, char *buf, unsigned size);

// The character that ends a directory in the paths plat_module_file_name gives.
extern const char plat_path_separator;

// GetPrivateProfileIntA(section, key, def, path).
unsigned plat_profile_int(const char *section, const char *key, int def, const char *path);

// WritePrivateProfileStringA(section, key, value, path). Non-zero on success.
int plat_profile_write(const char *section, const char *key, const char *value, const char *path);

// SHGetFolderPath(CSIDL_APPDATA): the user's own application-data folder, found
// through the user's profile rather than the APPDATA variable, which a program
// may be started without or with another value; on Win32 spelt for the ANSI
// calls as plat_module_file_name spells the program's path (a user name the
// code page cannot spell gives the short form). 0 when there is none or it does
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
// puts it in place with MoveFileExA: through a symbolic link, the file it names
// is replaced, not the link; the file's hidden and system attributes are kept; a
// read-only file, and a device or pipe, are refused.
int plat_profile_write_all(const char *section, const char *const *keys, const char *const *values,
                           int count, const char *path, char *why, unsigned why_size);

// MessageBoxA(owner, text, caption, MB_OK); returns once the user dismissed it.
void plat_message_box(plat_window owner, const char *text, const char *caption);

// A drawing target: the saver window's paint device context (HDC), plix's
// window, or a screen in memory.
typedef struct plat_dc_tag *plat_dc;

// Creates a black width x height picture in *fb (a DIB section in a memory
// context on Win32), with its tile storage. Returns 0, or 1 with fb->pixels null
// when they cannot be had. The origin and the dirty list are left for the caller.
int init_framebuf(frame_buffer *fb, int32_t width, int32_t height);

// Releases the picture; harmless on one already released or never created.
void deinit_framebuf(frame_buffer *fb);

// BitBlt(target, x, y, 1, 1, frame buffer, x, y, SRCCOPY): one pixel of the
// picture copied unchanged to the same place on the target.
void plat_copy_pixel(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y);

// The same for the rectangle of w x h pixels at (x, y), in one copy.
void plat_copy_rect(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y, int32_t w,
                    int32_t h);

// The `count` rectangles (within the picture, not overlapping, no more than
// fb->tiles.rect_capacity, for which the platform has room) in one copy of
// `bounds`, which holds them all, clipped to them. Win32: a region of them
// selected as the target's clip for one BitBlt, then the clip put back.
void plat_copy_rects(plat_dc target, const frame_buffer *fb, const pixel_rect *rects, int32_t count,
                     const pixel_rect &bounds);

// What the three ways of presenting cost here (frame_buffer.h says what each
// figure is), as measured by this platform's benchmark (BENCHMARKS.md, "The
// three ways of copying").
present_costs plat_present_costs();

// A clock in nanoseconds (an integer: i386 returns a double on the x87 stack)
// that times this platform's copies, where they are made
// within the calls above (Win32's GDI); negative where they are made after the
// calls return, by another process (an X server, a compositor, a browser), or in
// memory, where the table is the truth. Then the table alone chooses.
int64_t plat_present_clock();

// What the screen shows from (x, y) on, in screen coordinates, copied into the
// picture (as much as it holds): the picture the dots eat into. Headless: no
// screen, the picture stays as it is.
void plat_capture_screen(frame_buffer *fb, int32_t x, int32_t y);
