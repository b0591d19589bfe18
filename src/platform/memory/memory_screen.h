// The screen in memory that the native builds' frames are presented onto
// (screen_memory.cpp): what plix-sim writes out and the tests look at.
#pragma once
#include <cstdint>

#include "platform/platform.h"

// A screen in memory to present frames onto: plat_copy_pixel(memory_screen(), ...)
// copies from a frame buffer into it, at the same place. Black and width x
// height after memory_screen_reset(); the pixels are null when that much
// memory cannot be had. memory_screen_copies() counts the copy calls since then.
plat_dc memory_screen();
uint32_t *memory_screen_pixels();
void memory_screen_reset(int width, int height);
long memory_screen_copies();

