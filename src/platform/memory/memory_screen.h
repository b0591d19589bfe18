// The screen in memory that frames are presented onto (screen_memory.cpp): what
// plix-sim writes out and the tests look at, and what the web page shows.
#pragma once
#include <cstdint>

#include "platform/platform.h"

// A screen in memory to present frames onto: plat_copy_pixel(memory_screen(), ...)
// copies from a frame buffer into it, at the same place. Black and width x
// height after memory_screen_reset(); the pixels are null when that much
// memory cannot be had. memory_screen_copies() counts the copy calls since then;
// memory_screen_take_changes() gives the rectangle they touched since it was last
// asked (empty: right <= left; right and bottom exclusive) and starts a new one.
plat_dc memory_screen();
uint32_t *memory_screen_pixels();
int memory_screen_width();
int memory_screen_height();
bool memory_screen_reset(int width, int height);  // false when that much memory cannot be had
long memory_screen_copies();
struct screen_change {
    int32_t left, top, right, bottom;
};
screen_change memory_screen_take_changes();
