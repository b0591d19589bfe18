// The Wayland frame buffer: the picture in our memory; a copy marks the tiles it
// covers on each surface it falls on, and a commit brings the buffer it sends up
// to date there and damages only those tiles.
#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "platform/display/display.h"
#include "platform/memory/memory_picture.h"
#include "platform/wayland/wayland_platform.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

void mark(std::vector<uint8_t> &marks, int32_t tiles_x, int32_t tx0, int32_t ty0, int32_t tx1,
          int32_t ty1) {
    for (int32_t ty = ty0; ty <= ty1; ty++)
        memset(marks.data() + size_t(ty) * size_t(tiles_x) + size_t(tx0), 1,
               size_t(tx1) - size_t(tx0) + 1);
}

// The picture's rectangle (x, y, w, h) changed: so did the tiles it covers on
// every surface it falls on, for the next commit and for both buffers.
void copy_rect(plat_dc, const frame_buffer *, int32_t x, int32_t y, int32_t w, int32_t h) {
    for (wayland_output *o : wl.outputs) {
        if (!o->memory) continue;
        const int32_t left = std::max(x - o->place_x, 0), top = std::max(y - o->place_y, 0);
        const int32_t right = std::min(x + w - o->place_x, o->width);
        const int32_t bottom = std::min(y + h - o->place_y, o->height);
        if (left >= right || top >= bottom) continue;
        const int32_t tx0 = left >> tile_shift, ty0 = top >> tile_shift;
        const int32_t tx1 = (right - 1) >> tile_shift, ty1 = (bottom - 1) >> tile_shift;
        // The damage in whole cells, cut at the surface's edges.
        const int32_t c = wayland_damage_cell;
        mark(o->damage, o->tiles_x, tx0 / c * c, ty0 / c * c,
             std::min((tx1 / c + 1) * c, o->tiles_x) - 1,
             std::min((ty1 / c + 1) * c, o->tiles_y) - 1);
        for (wayland_buffer &b : o->buffers) mark(b.stale, o->tiles_x, tx0, ty0, tx1, ty1);
        o->changed = true;
    }
}

void copy_pixel(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y) {
    copy_rect(target, fb, x, y, 1, 1);
}

void copy_rects(plat_dc target, const frame_buffer *fb, const pixel_rect *rects, int32_t count,
                const pixel_rect &) {
    for (int32_t k = 0; k < count; k++) {
        const pixel_rect &r = rects[k];
        copy_rect(target, fb, r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
}

// Chosen from runs of plix on headless sway, two 1920 x 1080 outputs, with each
// way forced, alternated (BENCHMARKS.md, "The three ways of copying"): every way
// ends in the same tile copies and damage, so what differs is the marking (a
// call per pixel costs most), the merged rectangles' damage the compositor
// takes one by one, and the area a rectangle covers beyond the recorded pixels.
present_costs wayland_costs() { return {25, 1000, 0.25, 1000, 80, 0, 0.25}; }

// No desktop picture is given to Wayland clients: chow starts from black.
void capture(frame_buffer *, int32_t, int32_t) {}

// Runs of marked tiles along each tile row, as pixel rectangles cut at the
// surface's edges, clearing the marks; with `gap`, runs that few unmarked tiles
// apart go as one.
template <typename Each>
void each_run(std::vector<uint8_t> &marks, const wayland_output *o, int32_t gap, Each each) {
    for (int32_t ty = 0; ty < o->tiles_y; ty++) {
        uint8_t *row = marks.data() + size_t(ty) * size_t(o->tiles_x);
        for (int32_t tx = 0; tx < o->tiles_x;) {
            if (!row[tx]) {
                tx++;
                continue;
            }
            int32_t end = tx, next = tx;
            while (next < o->tiles_x && next - end <= gap) {
                if (row[next]) {
                    row[next] = 0;
                    end = next + 1;
                }
                next++;
            }
            const int32_t x = tx << tile_shift, y = ty << tile_shift;
            each(x, y, std::min(end << tile_shift, o->width) - x,
                 std::min((ty + 1) << tile_shift, o->height) - y);
            tx = end;
        }
    }
}

// The buffer's stale tiles from the picture (black where the picture does not
// reach, as between a new layout and the picture made for it).
void bring_up_to_date(wayland_output *o, wayland_buffer &b, const frame_buffer *fb) {
    each_run(b.stale, o, 0, [&](int32_t x, int32_t y, int32_t w, int32_t h) {
        for (int32_t row = y; row < y + h; row++) {
            uint32_t *to = b.pixels + size_t(row) * size_t(o->width) + size_t(x);
            const int32_t py = o->place_y + row, px = o->place_x + x;
            const int32_t from = std::max(px, 0), to_end = std::min(px + w, fb->width);
            if (!fb->pixels || py < 0 || py >= fb->height || from >= to_end) {
                std::fill(to, to + w, 0u);
                continue;
            }
            std::fill(to, to + (from - px), 0u);
            memcpy(to + (from - px), fb->pixels + size_t(py) * size_t(fb->width) + size_t(from),
                   size_t(to_end - from) * 4);
            std::fill(to + (to_end - px), to + w, 0u);
        }
    });
}

void on_frame_done(void *data, wl_callback *callback, uint32_t) {
    auto *o = static_cast<wayland_output *>(data);
    wl_callback_destroy(callback);
    o->frame = nullptr;
}
const wl_callback_listener frame_listener = {on_frame_done};

}  // namespace

const std::vector<pixel_rect> &wayland_damage(wayland_output *o) {
    std::vector<pixel_rect> &runs = o->runs;
    runs.clear();
    // The rectangles reaching the bottom of the tile row above, and of this
    // one, left to right: indexes into runs.
    std::vector<size_t> &above = o->runs_above, &here = o->runs_here;
    above.clear();
    here.clear();
    int32_t row_y = -tile_size;
    size_t a = 0;
    each_run(o->damage, o, wayland_damage_gap, [&](int32_t x, int32_t y, int32_t w, int32_t h) {
        if (y != row_y) {
            above.swap(here);
            if (y != row_y + tile_size) above.clear();  // an unmarked row between
            here.clear();
            row_y = y;
            a = 0;
        }
        while (a < above.size() && runs[above[a]].left < x) a++;
        if (a < above.size() && runs[above[a]].left == x && runs[above[a]].right == x + w) {
            runs[above[a]].bottom = y + h;
            here.push_back(above[a]);
        } else if (runs.size() >= wayland_max_damage && runs.back().top == y) {
            runs.back().right = x + w;
        } else {
            runs.push_back({x, y, x + w, y + h});
            here.push_back(runs.size() - 1);
        }
    });
    return runs;
}

const framebuf_services wayland_framebuf_services = {
    memory_picture_init, memory_picture_free, copy_pixel, copy_rect,
    copy_rects,          wayland_costs,       capture,
};

plat_dc wayland_target() { return reinterpret_cast<plat_dc>(&wl); }

void wayland_show(const frame_buffer *fb, long long now) {
    for (wayland_output *o : wl.outputs) {
        // A surface whose last frame is not yet on the screen (an output that
        // is off gets no frames) or whose buffers are both held waits: its
        // marks gather meanwhile.
        if (!o->memory || !o->changed || o->frame) continue;
        wayland_buffer *b = !o->buffers[0].busy   ? &o->buffers[0]
                            : !o->buffers[1].busy ? &o->buffers[1]
                                                  : nullptr;
        if (!b) continue;
        bring_up_to_date(o, *b, fb);
        for (const pixel_rect &r : wayland_damage(o))
            wl_surface_damage_buffer(o->surface, r.left, r.top, r.right - r.left, r.bottom - r.top);
        if (o->ack_due) {
            if (o->layer) zwlr_layer_surface_v1_ack_configure(o->layer, o->ack_serial);
            if (o->xdg) xdg_surface_ack_configure(o->xdg, o->ack_serial);
            o->ack_due = false;
        }
        wl_surface_attach(o->surface, b->buffer, 0, 0);
        o->frame = wl_surface_frame(o->surface);
        wl_callback_add_listener(o->frame, &frame_listener, o);
        wl_surface_commit(o->surface);
        o->committed_at = now;
        b->busy = true;
        o->changed = false;
    }
}

bool wayland_all_shown(long long now, long long patience) {
    return std::none_of(wl.outputs.begin(), wl.outputs.end(), [&](const wayland_output *o) {
        return o->memory && (o->frame ? now - o->committed_at <= patience : o->changed);
    });
}

bool wayland_unseen(long long now, long long patience) {
    return std::none_of(wl.outputs.begin(), wl.outputs.end(), [&](const wayland_output *o) {
        return o->memory && (!o->frame || now - o->committed_at <= patience);
    });
}
