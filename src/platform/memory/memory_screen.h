// The screen in memory that frames are presented onto (screen_memory.cpp): what
// plix-sim writes out and the tests look at, and what the web page shows.
#pragma once
#include <cstdint>

#include "platform/platform.h"

// A screen in memory to present frames onto: plat_copy_pixel(memory_screen(), ...)
// copies from a frame buffer into it, at the same place, in the screen's order:
// the frame buffer's own (bits 16-23 red, 8-15 green, 0-7 blue), or the canvas's
// (R G B A bytes, opaque), converted as copied so that a page can put the screen
// itself. Black and width x height after memory_screen_reset(); the pixels are
// null when that much memory cannot be had. memory_screen_copies() counts the
// copy calls since then; memory_screen_take_changes() gives the rectangle they
// touched since it was last asked (empty: right <= left; right and bottom
// exclusive) and starts a new one.
plat_dc memory_screen();
uint32_t *memory_screen_pixels();
int memory_screen_width();
int memory_screen_height();
enum class screen_order { frame_buffer, canvas };
// False when that much memory cannot be had.
bool memory_screen_reset(int width, int height, screen_order order = screen_order::frame_buffer);
long memory_screen_copies();
struct screen_change {
    int32_t left, top, right, bottom;
};
screen_change memory_screen_take_changes();

// The same changes in pieces, for a page that uploads each piece apart: the
// 16 x 16 tiles the copies touched since the last call, as at most `room`
// rectangles into `out`, their number returned (0: nothing changed). In each row
// of tiles the runs of touched ones, runs no more than `gap` tiles apart taken as
// one, each grown down over the rows below with a run of the same edges. Where
// that gives more than `room`, the gap is widened until it does not, at worst to
// the rectangle bounding them all. Starts anew either way (memory_screen_take_changes
// too).
int32_t memory_screen_take_change_rects(int32_t gap, pixel_rect *out, int32_t room);
