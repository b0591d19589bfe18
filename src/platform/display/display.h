// plix shows on X11 or on Wayland, whichever the session offers, chosen as it
// starts: the frame-buffer services of platform.h go to the table of the
// display chosen here. Each display platform gives one table.
#pragma once
#include <cstdint>

#include "platform/platform.h"

struct framebuf_services {
    int (*init)(frame_buffer *fb, int32_t width, int32_t height);
    void (*deinit)(frame_buffer *fb);
    void (*copy_pixel)(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y);
    void (*copy_rect)(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y, int32_t w,
                      int32_t h);
    void (*copy_rects)(plat_dc target, const frame_buffer *fb, const pixel_rect *rects,
                       int32_t count, const pixel_rect &bounds);
    present_costs (*costs)();
    void (*capture)(frame_buffer *fb, int32_t x, int32_t y);
};

// Before the first frame buffer is made.
void use_framebuf_services(const framebuf_services &services);
