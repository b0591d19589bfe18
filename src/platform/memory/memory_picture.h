// A picture in plain memory with its tile storage: the frame buffer of the
// builds without a window system (framebuf_memory.cpp), and Wayland's, whose
// surfaces take copies of it.
#pragma once
#include <cstdint>

#include "framebuf/frame_buffer.h"

// init_framebuf's and deinit_framebuf's work: a black width x height picture in
// *fb (0), or everything null (1) when it cannot be had; and its release.
int memory_picture_init(frame_buffer *fb, int32_t width, int32_t height);
void memory_picture_free(frame_buffer *fb);
