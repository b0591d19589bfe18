// The presentation choice and the copies it makes through the platform.
#include "framebuf/framebuf.h"

#include <climits>
#include <cstddef>
#include <cstring>

#include "framebuf/tile_marks.h"

namespace {

// The recorded pixels' bounds, inclusive while scanning, in picture coordinates;
// `mark` also marks each pixel's tile.
template <bool mark>
pixel_rect scan_dirty(const frame_buffer *fb) {
    const dirty_pixels *const list = fb->dirty_dot;
    const int32_t n = fb->dirty_dot_index;
    uint8_t *const marks = fb->tiles.marks;
    const int32_t tiles_x = fb->tiles.tiles_x, ox = fb->origin_x, oy = fb->origin_y;
    int32_t left = list[0].x, right = left, top = list[0].y, bottom = top;
    for (int32_t k = 0; k < n; k++) {
        const int32_t x = list[k].x, y = list[k].y;
        left = x < left ? x : left;
        right = x > right ? x : right;
        top = y < top ? y : top;
        bottom = y > bottom ? y : bottom;
        if (mark) marks[((oy + y) >> tile_shift) * tiles_x + ((ox + x) >> tile_shift)] = 1;
    }
    return {ox + left, oy + top, ox + right + 1, oy + bottom + 1};
}

// What costs `c` give one copy of the rectangle r, and one copy clipped to
// `rects` rectangles covering `area` pixels.
double bounds_cost(const present_costs &c, const pixel_rect &r) {
    return c.rect_fixed + double(r.right - r.left) * double(r.bottom - r.top) * c.rect_pixel;
}

double tiles_cost(const present_costs &c, double rects, double area) {
    return c.rects_fixed + rects * (c.rects_each + rects * c.rects_pair) + area * c.rects_pixel;
}

}  // namespace

pixel_rect dirty_bounds(const frame_buffer *fb) { return scan_dirty<false>(fb); }

pixel_rect mark_dirty_tiles(frame_buffer *fb) { return scan_dirty<true>(fb); }

int32_t merge_dirty_tiles(frame_buffer *fb, const pixel_rect &bounds, double *area,
                          pixel_rect *covered_rect, const present_costs *costs, double most) {
    const present_tiles &t = fb->tiles;
    const int32_t first_x = bounds.left >> tile_shift,
                  end_x = ((bounds.right - 1) >> tile_shift) + 1;
    const int32_t first_y = bounds.top >> tile_shift,
                  end_y = ((bounds.bottom - 1) >> tile_shift) + 1;
    // The rectangles reaching the bottom of the row above, and of this row, by
    // their left edges: indexes into t.rects.
    int32_t *above = t.row_rects, *here = t.row_rects + (t.tiles_x / 2 + 1);
    int32_t n_above = 0, count = 0;
    double covered = 0;
    bool gave_up = false;
    pixel_rect all = {fb->width, fb->height, 0, 0};
    // The pixel edge of a tile column, the last one cut at the picture's edge.
    auto edge = [fb](int32_t tx) {
        return tx << tile_shift < fb->width ? tx << tile_shift : fb->width;
    };
    for (int32_t ty = first_y; ty < end_y; ty++) {
        uint8_t *const row = t.marks + ptrdiff_t(ty) * t.tiles_x;
        const int32_t top = ty << tile_shift;
        const int32_t bottom = top + tile_size < fb->height ? top + tile_size : fb->height;
        // `all` grown by the pixels from left to right in this row.
        auto take = [&](int32_t left, int32_t right) {
            all = {left < all.left ? left : all.left, top < all.top ? top : all.top,
                   right > all.right ? right : all.right, bottom};
        };
        int32_t n_here = 0, a = 0;
        for (int32_t tx = next_tile<true>(row, first_x, end_x); !gave_up && tx < end_x;
             tx = next_tile<true>(row, tx, end_x)) {
            const int32_t run = tx;
            tx = next_tile<false>(row, tx + 1, end_x);
            const int32_t left = run << tile_shift, right = edge(tx);
            covered += double(right - left) * double(bottom - top);
            take(left, right);
            while (a < n_above && t.rects[above[a]].left < left) a++;
            if (a < n_above && t.rects[above[a]].left == left && t.rects[above[a]].right == right) {
                t.rects[above[a]].bottom = bottom;
                here[n_here++] = above[a];
            } else {
                t.rects[count] = {left, top, right, bottom};
                here[n_here++] = count++;
            }
            // Each rectangle and pixel more only adds to the cost.
            gave_up = costs && !(tiles_cost(*costs, count, covered) < most);
        }
        if (gave_up) {  // from here on only the bounds
            const int32_t first = next_tile<true>(row, first_x, end_x);
            if (first < end_x) take(first << tile_shift, edge(past_last_marked(row, first, end_x)));
        }
        memset(row + first_x, 0, size_t(end_x - first_x));
        int32_t *const swap = above;
        above = here;
        here = swap;
        n_above = n_here;
    }
    *area = covered;
    if (covered_rect) *covered_rect = all;
    return gave_up ? -1 : count;
}

present_plan plan_presentation(frame_buffer *fb, const present_costs &c) {
    const double n = fb->dirty_dot_index;
    const double by_pixels_cost = n * c.pixel;
    const double least_fixed = c.rect_fixed < c.rects_fixed ? c.rect_fixed : c.rects_fixed;
    present_tiles &t = fb->tiles;
    const bool tiled = t.marks != nullptr, marked = t.marked;
    t.marked = false;  // taken once: the merge below clears the marks
    // A list cut short can go neither one by one nor by its own bounds; without
    // the marks (a second plan of the frame) only the whole picture is sure.
    const bool whole_list = !tiled || fb->dirty_dot_index <= t.list_room;
    if (!whole_list && !marked) return {by_bounds, {0, 0, fb->width, fb->height}, 0, 0};
    // Up to here the pixels win whatever the other ways would cover.
    if (whole_list && by_pixels_cost <= least_fixed) {
        const dirty_pixels *const list = fb->dirty_dot;
        for (int32_t k = 0; marked && k < fb->dirty_dot_index; k++)  // a few pixels' marks
            t.marks[((fb->origin_y + list[k].y) >> tile_shift) * t.tiles_x +
                    ((fb->origin_x + list[k].x) >> tile_shift)] = 0;
        return {by_pixels, {0, 0, 0, 0}, 0, 0};
    }
    // Marked while drawing: the bounds are those of the marked tiles, found by the
    // merge over the whole grid. Otherwise the list gives the pixels' own bounds.
    // The merge stops building rectangles once they cost what the pixels or the
    // bounds would (the whole picture's, while the merge has still to find them).
    pixel_rect r = {0, 0, fb->width, fb->height};
    auto others = [&](const pixel_rect &b) {
        const double bounds = bounds_cost(c, b);
        return !whole_list || bounds < by_pixels_cost ? bounds : by_pixels_cost;
    };
    double area = 0;
    int32_t count = 0;
    if (marked)
        count = merge_dirty_tiles(fb, r, &area, &r, &c, others(r));
    else {
        r = tiled ? mark_dirty_tiles(fb) : dirty_bounds(fb);
        if (tiled) count = merge_dirty_tiles(fb, r, &area, nullptr, &c, others(r));
    }
    const double by_bounds_cost = bounds_cost(c, r);
    present_plan plan = {by_pixels, r, 0, 0};
    double best = by_pixels_cost;
    if (!whole_list || by_bounds_cost < best) {
        plan.way = by_bounds;
        best = by_bounds_cost;
    }
    if (tiled && count >= 0 && tiles_cost(c, count, area) < best) {
        // The rectangles' own bounds: those of the recorded pixels' tiles.
        const int32_t s = tile_shift;
        const int32_t right = (((r.right - 1) >> s) + 1) << s;
        const int32_t bottom = (((r.bottom - 1) >> s) + 1) << s;
        plan = {by_tiles,
                {r.left >> s << s, r.top >> s << s, right < fb->width ? right : fb->width,
                 bottom < fb->height ? bottom : fb->height},
                count,
                area};
    }
    return plan;
}

void present_frame_as(plat_dc target, const frame_buffer *fb, const present_plan &plan) {
    const pixel_rect &r = plan.bounds;
    switch (plan.way) {
    case by_bounds:
        plat_copy_rect(target, fb, r.left, r.top, r.right - r.left, r.bottom - r.top);
        return;
    case by_tiles:
        plat_copy_rects(target, fb, fb->tiles.rects, plan.rect_count, r);
        return;
    case by_pixels:
        break;
    }
    // In list order: a pixel recorded twice shows its last value either way.
    const dirty_pixels *const list = fb->dirty_dot;
    const int32_t n = fb->dirty_dot_index, ox = fb->origin_x, oy = fb->origin_y;
    for (int32_t k = 0; k < n; k++) plat_copy_pixel(target, fb, ox + list[k].x, oy + list[k].y);
}

void present_frame(plat_dc target, frame_buffer *fb) {
    const present_costs table = plat_present_costs();
    const int64_t start = plat_present_clock();
    if (start < 0) {
        present_frame_as(target, fb, plan_presentation(fb, table));
        return;
    }
    // The plan is timed with the copy: it is the same work whichever way wins.
    const present_plan plan = plan_presentation(fb, metered_costs(table, fb->tiles.meter));
    present_frame_as(target, fb, plan);
    // In 32 bits (2 s at most): i386 converts 64-bit integers on the x87 stack.
    const int64_t took = plat_present_clock() - start;
    meter_presentation(&fb->tiles.meter, table, plan, fb,
                       double(int32_t(took < INT32_MAX ? took : INT32_MAX)));
}

namespace {

// What `table` says presenting by `plan` costs.
double table_cost(const present_costs &c, const present_plan &plan, const frame_buffer *fb) {
    switch (plan.way) {
    case by_pixels:
        return fb->dirty_dot_index * c.pixel;
    case by_bounds:
        return bounds_cost(c, plan.bounds);
    case by_tiles:
        break;
    }
    return tiles_cost(c, plan.rect_count, plan.area);
}

}  // namespace

present_costs metered_costs(const present_costs &table, const present_meter &meter) {
    double scale[3];
    for (int way = 0; way < 3; way++) scale[way] = meter.scale[way] > 0 ? meter.scale[way] : 1;
    if (meter.frames % meter_retry == meter_retry - 1) scale[meter.last_way] *= 2;
    const double p = scale[by_pixels], b = scale[by_bounds], t = scale[by_tiles];
    return {table.pixel * p,      table.rect_fixed * b, table.rect_pixel * b, table.rects_fixed * t,
            table.rects_each * t, table.rects_pair * t, table.rects_pixel * t};
}

void meter_presentation(present_meter *meter, const present_costs &table, const present_plan &plan,
                        const frame_buffer *fb, double ns) {
    const double unit = table_cost(table, plan, fb);
    if (!(unit > 0) || !(ns >= 0)) return;  // nothing copied, or a clock gone wrong
    double &scale = meter->scale[plan.way];
    const bool first = !(scale > 0);
    const double was = first ? 1 : scale;
    const double least = was / 2, most = was * 2;
    double seen = ns / unit;
    seen = seen < least ? least : seen > most ? most : seen;
    // A way's first time is taken whole: a runner-up tried once a retry
    // apart would otherwise take seconds to be believed.
    scale = first ? seen : was + (seen - was) / 8;
    meter->frames = meter->frames < INT32_MAX ? meter->frames + 1 : 0;
    meter->last_way = plan.way;
}

void present_whole(plat_dc target, const frame_buffer *fb) {
    plat_copy_rect(target, fb, 0, 0, fb->width, fb->height);
}

int new_picture(frame_buffer *fb, int32_t width, int32_t height, dirty_pixels *list, bool capture,
                int32_t screen_x, int32_t screen_y) {
    if (init_framebuf(fb, width, height) != 0) return 1;
    fb->dirty_dot = list;
    if (capture) plat_capture_screen(fb, screen_x, screen_y);
    return 0;
}
