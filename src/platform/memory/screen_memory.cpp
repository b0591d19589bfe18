// Frames presented onto a screen in memory: the native programs without a
// window (unit tests, plix-sim) and the web page. The frame buffer itself is
// framebuf_memory.cpp's; what presenting costs is each platform's own.
#include <cstdlib>
#include <cstring>

#include "framebuf/tile_marks.h"
#include "platform/memory/memory_screen.h"
#include "platform/platform.h"

// The screen: calloc, so a screen too big to have is a null, not a throw.
struct screen_in_memory {
    uint32_t *pixels;
    int width, height;
    screen_order order;
    long copies;
    screen_change changed;  // right <= left: nothing yet
    uint8_t *touched;       // a mark per tile the copies touched since the last take
    int32_t tiles_x, tiles_y;
    int32_t *row_rects;  // touched_rects' two rows of indexes
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
    if (g_screen.touched)
        memset(g_screen.touched, 0, size_t(g_screen.tiles_x) * size_t(g_screen.tiles_y));
    return c;
}

// The rectangles of the touched tiles with runs `gap` apart joined, as many as fit
// `room`; the number there would be (more than room: out holds the first room).
static int32_t touched_rects(int32_t gap, pixel_rect *out, int32_t room) {
    const screen_in_memory &s = g_screen;
    // The rectangles reaching the bottom of the row above, and of this row, by
    // their left edges: indexes into out. Runs of a row are a tile apart at least.
    int32_t *above = s.row_rects, *here = s.row_rects + (s.tiles_x / 2 + 1);
    int32_t n_above = 0, count = 0;
    for (int32_t ty = 0; ty < s.tiles_y; ty++) {
        const uint8_t *row = s.touched + size_t(ty) * size_t(s.tiles_x);
        const int32_t top = ty * tile_size;
        const int32_t bottom = top + tile_size < s.height ? top + tile_size : s.height;
        int32_t n_here = 0, a = 0;
        for (int32_t tx = next_tile<true>(row, 0, s.tiles_x); tx < s.tiles_x;
             tx = next_tile<true>(row, tx, s.tiles_x)) {
            // One past the run's last touched tile, over gaps of `gap` tiles at most.
            int32_t end = next_tile<false>(row, tx + 1, s.tiles_x);
            for (;;) {
                const int32_t reach = gap < s.tiles_x - end ? end + gap + 1 : s.tiles_x;
                const int32_t next = next_tile<true>(row, end, reach);
                if (next == reach) break;
                end = next_tile<false>(row, next + 1, s.tiles_x);
            }
            const int32_t left = tx * tile_size;
            const int32_t right = end * tile_size < s.width ? end * tile_size : s.width;
            tx = end;
            while (a < n_above && out[above[a]].left < left) a++;
            if (a < n_above && out[above[a]].left == left && out[above[a]].right == right) {
                out[above[a]].bottom = bottom;
                here[n_here++] = above[a];
                continue;
            }
            if (count < room) {
                out[count] = {left, top, right, bottom};
                here[n_here++] = count;
            }
            count++;
        }
        int32_t *const swap = above;
        above = here;
        here = swap;
        n_above = n_here;
    }
    return count;
}

int32_t memory_screen_take_change_rects(int32_t gap, pixel_rect *out, int32_t room) {
    const screen_change c = g_screen.changed;
    int32_t count = 0;
    if (c.right > c.left && g_screen.touched) {
        for (;; gap = gap * 2 + 1) {
            count = touched_rects(gap, out, room);
            if (count <= room || gap >= g_screen.tiles_x) break;
        }
        if (count > room) {
            out[0] = {c.left, c.top, c.right, c.bottom};
            count = 1;
        }
    }
    memory_screen_take_changes();
    return count;
}

// The rectangle the copies touched grows by this one, and its tiles are marked.
static void note_change(screen_in_memory *screen, int32_t left, int32_t top, int32_t right,
                        int32_t bottom) {
    const int32_t first = left >> tile_shift, tiles = ((right - 1) >> tile_shift) - first + 1;
    for (int32_t ty = top >> tile_shift; ty <= (bottom - 1) >> tile_shift; ty++)
        memset(screen->touched + size_t(ty) * size_t(screen->tiles_x) + size_t(first), 1,
               size_t(tiles));
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

// A frame buffer's pixel in the canvas's order.
static uint32_t canvas_pixel(uint32_t p) {
    return 0xFF000000u | (p & 0x00FF00u) | (p >> 16 & 0xFFu) | (p & 0xFFu) << 16;
}

bool memory_screen_reset(int width, int height, screen_order order) {
    screen_in_memory &s = g_screen;
    free(s.pixels);
    free(s.touched);
    free(s.row_rects);
    const int32_t tiles_x = (width + tile_size - 1) >> tile_shift;
    const int32_t tiles_y = (height + tile_size - 1) >> tile_shift;
    s.pixels = static_cast<uint32_t *>(calloc(size_t(width) * size_t(height), 4));
    s.touched = static_cast<uint8_t *>(calloc(size_t(tiles_x) * size_t(tiles_y), 1));
    s.row_rects = static_cast<int32_t *>(calloc(2 * size_t(tiles_x / 2 + 1), sizeof(int32_t)));
    if (!s.pixels || !s.touched || !s.row_rects) {
        free(s.pixels);
        free(s.touched);
        free(s.row_rects);
        s = {};
        return false;
    }
    s.width = width;
    s.height = height;
    s.order = order;
    if (order == screen_order::canvas)
        for (size_t k = 0; k < size_t(width) * size_t(height); k++) s.pixels[k] = canvas_pixel(0);
    s.tiles_x = tiles_x;
    s.tiles_y = tiles_y;
    s.copies = 0;
    s.changed = {};
    return true;
}

static void copy_area(screen_in_memory *screen, const frame_buffer *fb, int32_t x, int32_t y,
                      int32_t w, int32_t h) {
    for (int32_t row = y; row < y + h; row++) {
        uint32_t *out = screen->pixels + size_t(row) * size_t(screen->width) + size_t(x);
        const uint32_t *in = fb->pixels + size_t(row) * size_t(fb->width) + size_t(x);
        if (screen->order == screen_order::canvas)
            for (int32_t k = 0; k < w; k++) out[k] = canvas_pixel(in[k]);
        else
            memcpy(out, in, size_t(w) * 4);
    }
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
    const uint32_t p = fb->pixels[size_t(y) * size_t(fb->width) + size_t(x)];
    screen->pixels[size_t(y) * size_t(screen->width) + size_t(x)] =
        screen->order == screen_order::canvas ? canvas_pixel(p) : p;
    note_change(screen, x, y, x + 1, y + 1);
}
