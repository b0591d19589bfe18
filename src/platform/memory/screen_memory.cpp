// Frames presented onto a screen in memory: the native programs without a
// window (unit tests, plix-sim) and the web page. The frame buffer itself is
// framebuf_memory.cpp's; what presenting costs is each platform's own.
#include <cstdlib>
#include <cstring>

#include "platform/memory/memory_screen.h"
#include "platform/platform.h"

// The screen: calloc, so a screen too big to have is a null, not a throw.
struct screen_in_memory {
    uint32_t *pixels;
    int width, height;
    long copies;
    screen_change changed;  // right <= left: nothing yet
};
static screen_in_memory g_screen;

plat_dc memory_screen() { return reinterpret_cast<plat_dc>(&g_screen); }
uint32_t *memory_screen_pixels() { return g_screen.pixels; }
int memory_screen_width() { return g_screen.width; }
int memory_screen_height() { return g_screen.height; }
long memory_screen_copies() { return g_screen.copies; }
screen_change memory_screen_take_changes() {
    const screen_change c = g_screen.changed;
    g_screen.changed = {};
    return c;
}

// The rectangle the copies touched grows by this one.
static void note_change(screen_in_memory *screen, int32_t left, int32_t top, int32_t right,
                        int32_t bottom) {
    screen_change &c = screen->changed;
    if (c.right <= c.left) {
        c = {left, top, right, bottom};
        return;
    }
    c.left = left < c.left ? left : c.left;
    c.top = top < c.top ? top : c.top;
    c.right = right > c.right ? right : c.right;
    c.bottom = bottom > c.bottom ? bottom : c.bottom;
}

bool memory_screen_reset(int width, int height) {
    free(g_screen.pixels);
    g_screen.pixels = static_cast<uint32_t *>(calloc(size_t(width) * size_t(height), 4));
    g_screen.width = g_screen.pixels ? width : 0;
    g_screen.height = g_screen.pixels ? height : 0;
    g_screen.copies = 0;
    g_screen.changed = {};
    return g_screen.pixels != nullptr;
}

static void copy_area(screen_in_memory *screen, const frame_buffer *fb, int32_t x, int32_t y,
                      int32_t w, int32_t h) {
    for (int32_t row = y; row < y + h; row++)
        memcpy(screen->pixels + size_t(row) * size_t(screen->width) + size_t(x),
               fb->pixels + size_t(row) * size_t(fb->width) + size_t(x), size_t(w) * 4);
    if (w > 0 && h > 0) note_change(screen, x, y, x + w, y + h);
}

void plat_copy_rect(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y, int32_t w,
                    int32_t h) {
    screen_in_memory *screen = reinterpret_cast<screen_in_memory *>(target);
    screen->copies++;
    copy_area(screen, fb, x, y, w, h);
}

// Each rectangle in turn: the pixels one clipped copy shows, counted as one copy.
void plat_copy_rects(plat_dc target, const frame_buffer *fb, const pixel_rect *rects, int32_t count,
                     const pixel_rect &) {
    screen_in_memory *screen = reinterpret_cast<screen_in_memory *>(target);
    screen->copies++;
    for (int32_t k = 0; k < count; k++) {
        const pixel_rect &r = rects[k];
        copy_area(screen, fb, r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
}

void plat_copy_pixel(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y) {
    screen_in_memory *screen = reinterpret_cast<screen_in_memory *>(target);
    screen->copies++;
    screen->pixels[size_t(y) * size_t(screen->width) + size_t(x)] =
        fb->pixels[size_t(y) * size_t(fb->width) + size_t(x)];
    note_change(screen, x, y, x + 1, y + 1);
}
