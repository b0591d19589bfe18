// The frame buffer, the one pixel primitive and the dirty-pixel list.
//
// Pixel format: cx * cy pixels of 32 bits, the top row first, each row exactly cx
// pixels with nothing between rows; framebuf[y * cx + x]. Bits 0-7 are shown as
// blue, 8-15 as green, 16-23 as red, 24-31 are zero. put_pixel packs r into bits
// 0-7 and b into 16-23, so a dot's r lands in the byte shown as blue.
#pragma once
#include <cstdint>

#include "platform/platform.h"
#include "sim/dots.h"

extern uint32_t *framebuf;       // null while there is no frame buffer
extern int32_t dirty_dot_index;  // entries recorded in the current frame

// Stores one pixel and records its position. No bounds check: callers keep
// 0 <= x < cx, 0 <= y < cy, components 0..255.
inline void put_pixel(plat_dc, uint32_t *fb, int32_t x_loc, int32_t y_loc, int32_t r_val,
                      int32_t g_val, int32_t b_val) {
    fb[y_loc * cx + x_loc] = uint32_t(r_val + g_val * 256 + b_val * 65536);
    dirty_dot[dirty_dot_index++] = {x_loc, y_loc};
}

// Copies every recorded pixel of this frame to the target, in list order. A
// frame of more than present_check_interval pixels gives way part-way through
// when a key or button press is waiting.
constexpr int32_t present_check_interval = 65536;
void present_frame(plat_dc target);

// Platform half (framebuf_win32.cpp): the DIB section, its memory context.
void init_framebuf();
void deinit_framebuf();
