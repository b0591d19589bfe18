// Every service the portable core needs from the operating system, and nothing
// else. platform_win32.cpp makes the real Win32 calls; platform_headless.cpp gives
// the native builds (unit tests, plix-sim, and plix beside its X11 frame buffer in
// src/x11/) stand-ins with the same behaviour; platform_web.cpp the web page's.
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

// A drawing target: the saver window's paint device context (HDC), or a
// headless screen of the native build.
typedef struct plat_dc_tag *plat_dc;

// One pixel position, as the frame records it.
struct dirty_pixels {
    int32_t x, y;
};

// A rectangle of the picture.
struct pixel_rect {
    int32_t left, top, right, bottom;  // right and bottom exclusive
};

// The presentation's coarse grid of the picture: tiles of tile_size x tile_size
// pixels (those of the last column and row cut at the picture's edge).
constexpr int32_t tile_shift = 4;
constexpr int32_t tile_size = 1 << tile_shift;

// The frame buffer: a picture the core draws into and the platform shows.
//
// Pixel format: width * height pixels of 32 bits, the top row first, each row
// exactly `width` pixels with nothing between rows: pixels[y * width + x]. Bits
// 0-7 are shown as blue, 8-15 as green, 16-23 as red; bits 24-31 are zero. A new
// frame buffer is black.
//
// The core draws its field of cx * cy pixels with the field's (0, 0) at
// (origin_x, origin_y) of the picture, and records in `dirty_dot` the field
// positions of the pixels it writes in a frame, `dirty_dot_index` of them (the
// presentation adds the origin). The list is the set-up's (room for a whole
// frame); the front end hands it over.
//
// `tiles` is the presentation's working storage, made with the picture so that
// no frame allocates: a mark per tile (tiles_x * tiles_y, row by row, all zero
// between frames), room for the rectangles the marked tiles merge into
// (rect_capacity: every other tile of a row, on every row, the most there can
// be) and for two rows of rectangle indexes. Null in a hand-made frame buffer:
// its frames go by the other ways.
// `marked` says the frame step marked the tiles of this frame's pixels as it
// recorded them, so that the presentation need not read the list again; a list
// filled otherwise leaves it false.
// `list_room`: past this many pixels in a frame, one copy of the whole picture
// costs less on this platform than copying them one by one, so a frame step that
// marks the tiles lists the places of the first list_room pixels only (it still
// counts them all). A longer list is taken as cut short.
struct present_tiles {
    uint8_t *marks;
    int32_t tiles_x, tiles_y;
    pixel_rect *rects;
    int32_t rect_capacity;
    int32_t *row_rects;  // 2 * (tiles_x / 2 + 1)
    int32_t list_room;
    bool marked;
};

struct frame_buffer {
    uint32_t *pixels;  // null while there is no picture
    int32_t width, height;
    int32_t origin_x, origin_y;
    dirty_pixels *dirty_dot;
    int32_t dirty_dot_index;
    struct plat_bitmap_tag *bitmap;  // the platform's objects behind the pixels
    present_tiles tiles;
};

// The tile storage of a width x height picture, in fb->tiles (0, or 1 with
// everything null when it cannot be had), and its release. Every platform's
// init_framebuf and deinit_framebuf call these.
int init_present_tiles(frame_buffer *fb, int32_t width, int32_t height);
void deinit_present_tiles(frame_buffer *fb);

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
void plat_copy_rects(plat_dc target, const frame_buffer *fb, const pixel_rect *rects,
                     int32_t count, const pixel_rect &bounds);

// What the three ways of presenting cost on this platform, in nanoseconds of
// processor time (the X server's included where it does the copying), as
// measured by its benchmark (BENCHMARKS.md, "The three ways of copying"): one
// pixel copied alone; one rectangle, fixed and per pixel of its area; one
// clipped copy of rectangles, fixed, per rectangle, per pair of rectangles (Wine
// builds a region one rectangle at a time, each walking those before it) and per
// pixel of their area.
struct present_costs {
    double pixel;
    double rect_fixed, rect_pixel;
    double rects_fixed, rects_each, rects_pair, rects_pixel;
};
present_costs plat_present_costs();

// What the screen shows from (x, y) on, in screen coordinates, copied into the
// picture (as much as it holds): the picture the dots eat into. Headless: no
// screen, the picture stays as it is.
void plat_capture_screen(frame_buffer *fb, int32_t x, int32_t y);
