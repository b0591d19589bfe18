// The frame-buffer services of platform.h, passed on to the display chosen
// with use_framebuf_services.
#include "platform/display/display.h"

static const framebuf_services *chosen;

void use_framebuf_services(const framebuf_services &services) { chosen = &services; }

// No display chosen: no picture, as when one cannot be had.
int init_framebuf(frame_buffer *fb, int32_t width, int32_t height) {
    if (chosen) return chosen->init(fb, width, height);
    *fb = frame_buffer{};
    return 1;
}

void deinit_framebuf(frame_buffer *fb) {
    if (chosen) chosen->deinit(fb);
}

void plat_copy_pixel(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y) {
    chosen->copy_pixel(target, fb, x, y);
}

void plat_copy_rect(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y, int32_t w,
                    int32_t h) {
    chosen->copy_rect(target, fb, x, y, w, h);
}

void plat_copy_rects(plat_dc target, const frame_buffer *fb, const pixel_rect *rects, int32_t count,
                     const pixel_rect &bounds) {
    chosen->copy_rects(target, fb, rects, count, bounds);
}

present_costs plat_present_costs() { return chosen->costs(); }

// The server or the compositor copies, after the calls return.
int64_t plat_present_clock() { return -1; }

void plat_capture_screen(frame_buffer *fb, int32_t x, int32_t y) { chosen->capture(fb, x, y); }
