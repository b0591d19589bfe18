// The frame step: per dot, the trail aged and redrawn faded, the erased tail,
// the new speed and position, the head; then the recorded pixels presented.
#include "sim/render.h"

#include <cstddef>
#include <cstring>

#include "settings/settings.h"

namespace {

// Per frame: the fade step of every age. Per dot: the packed colour of every age.
// Fixed arrays, so a frame allocates nothing.
int32_t age_step[dot_historyy + 1];
uint32_t age_colour[dot_historyy + 1];

uint32_t packed(int32_t r, int32_t g, int32_t b) { return uint32_t(r + g * 256 + b * 65536); }

}  // namespace

int render_dots(frame_buffer *fb, frame_stop_check stop) {
    const int32_t history_len = dot_history;
    for (int32_t k = 1; k <= history_len; k++) age_step[k] = fade_step(k);
    const float upper = upper_speed_limit(speed_limit);
    const float lower = lower_speed_limit(speed_limit);
    const float right = float(cx - 1);
    const float bottom = float(cy - 1);

    // Storing a pixel and recording its place in the picture, with the picture's
    // geometry, list and count in locals: the uint32_t stores may alias the
    // int32_t globals and fields, which would otherwise be reloaded every pixel.
    const int32_t width = fb->width, ox = fb->origin_x, oy = fb->origin_y;
    uint32_t *const origin = fb->pixels + (ptrdiff_t(oy) * width + ox);
    dirty_pixels *const list = fb->dirty_dot;
    int32_t n = 0;
    auto put = [&](int32_t x, int32_t y, uint32_t colour) {
        origin[y * width + x] = colour;
        list[n++] = {ox + x, oy + y};
    };
    int32_t next_check = stop_check_interval;

    for (int32_t i = 0; i < dot_count; i++) {
        plix &d = dot[i];
        const int32_t r = d.r, g = d.g, b = d.b;
        for (int32_t k = 2; k <= history_len; k++) {
            const int32_t s = age_step[k];
            age_colour[k] = packed(faded_by_step(r, s), faded_by_step(g, s), faded_by_step(b, s));
        }
        // Ageing: every used entry moves one place towards the end, in one copy.
        if (history_len > 1)
            memmove(&d.hist[1], &d.hist[0], size_t(history_len - 1) * sizeof(history));
        for (int32_t ii = history_len - 1; ii >= 1; ii--)
            put(d.hist[ii].x, d.hist[ii].y, age_colour[ii + 1]);
        // The oldest point goes black after the aged points, so it wins over
        // them where they coincide, but not over the newest point or the head.
        const history oldest = d.hist[history_len - 1];
        put(oldest.x, oldest.y, 0);
        // Positions are always within 0..cx-1 / 0..cy-1 here, so the
        // truncation is defined and fits a trail point.
        d.hist[0] = {int16_t(int32_t(d.x)), int16_t(int32_t(d.y))};
        const int32_t s1 = age_step[1];
        put(d.hist[0].x, d.hist[0].y,
            packed(faded_by_step(r, s1), faded_by_step(g, s1), faded_by_step(b, s1)));
        if (brownian) {
            d.xv = random_walk_speed();
            d.yv = random_walk_speed();
        } else {
            d.xv = inertial_speed(d.xv, inertial_push(), inertia);
            d.yv = inertial_speed(d.yv, inertial_push(), inertia);
            d.xv = limit_speed(d.xv, upper, lower);
            d.yv = limit_speed(d.yv, upper, lower);
        }
        d.x = moved(d.x, d.xv);
        d.y = moved(d.y, d.yv);
        if (bounce) {
            bounce_axis(d.x, d.xv, right);
            bounce_axis(d.y, d.yv, bottom);
        } else {
            wrap_axis(d.x, right);
            wrap_axis(d.y, bottom);
        }
        put(int32_t(d.x), int32_t(d.y), packed(r, g, b));
        if (stop && n >= next_check) {
            if (stop()) {
                fb->dirty_dot_index = n;
                return 1;
            }
            next_check = n + stop_check_interval;
        }
    }
    fb->dirty_dot_index = n;
    return 0;
}

void render(plat_dc target, frame_buffer *fb, frame_stop_check stop) {
    if (render_dots(fb, stop) == 0) present_frame(target, fb);
}
