// The frame step: per dot, the trail aged and redrawn faded, the erased tail,
// the new speed and position, the head; then the recorded pixels presented.
#include "sim/render.h"

#include "framebuf/framebuf.h"
#include "settings/settings.h"

void render(plat_dc target, uint32_t *fb) {
    dirty_dot_index = 0;
    const float upper = upper_speed_limit(speed_limit);
    const float lower = lower_speed_limit(speed_limit);
    const float right = float(cx - 1);
    const float bottom = float(cy - 1);
    for (int32_t i = 0; i < dot_count; i++) {
        plix &d = dot[i];
        for (int32_t ii = dot_history - 1; ii >= 1; ii--) {
            d.hist[ii] = d.hist[ii - 1];
            put_pixel(target, fb, d.hist[ii].x, d.hist[ii].y, fade_component(d.r, ii + 1),
                      fade_component(d.g, ii + 1), fade_component(d.b, ii + 1));
        }
        // The oldest point goes black after the aged points, so it wins over
        // them where they coincide, but not over the newest point or the head.
        const history &oldest = d.hist[dot_history - 1];
        put_pixel(target, fb, oldest.x, oldest.y, 0, 0, 0);
        // Positions are always within 0..cx-1 / 0..cy-1 here, so the
        // truncation is defined and fits a trail point.
        d.hist[0] = {int16_t(int32_t(d.x)), int16_t(int32_t(d.y))};
        put_pixel(target, fb, d.hist[0].x, d.hist[0].y, fade_component(d.r, 1),
                  fade_component(d.g, 1), fade_component(d.b, 1));
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
        put_pixel(target, fb, int32_t(d.x), int32_t(d.y), d.r, d.g, d.b);
    }
    present_frame(target);
}
