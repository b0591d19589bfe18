// The presentation choice and the copies it makes through the platform.
#include "framebuf/framebuf.h"

pixel_rect dirty_bounds(const frame_buffer *fb) {
    const dirty_pixels *const list = fb->dirty_dot;
    const int32_t n = fb->dirty_dot_index;
    pixel_rect r = {list[0].x, list[0].y, list[0].x, list[0].y};  // inclusive while scanning
    for (int32_t k = 1; k < n; k++) {
        const dirty_pixels p = list[k];
        r.left = p.x < r.left ? p.x : r.left;
        r.right = p.x > r.right ? p.x : r.right;
        r.top = p.y < r.top ? p.y : r.top;
        r.bottom = p.y > r.bottom ? p.y : r.bottom;
    }
    const int32_t ox = fb->origin_x, oy = fb->origin_y;
    return {ox + r.left, oy + r.top, ox + r.right + 1, oy + r.bottom + 1};
}

present_plan plan_presentation(const frame_buffer *fb) {
    const double n = fb->dirty_dot_index;
    // Up to here the pixels win whatever the rectangle's area.
    if (n * pixel_copy_ns <= rect_copy_ns) return {false, {0, 0, 0, 0}};
    const pixel_rect r = dirty_bounds(fb);
    const double area = double(r.right - r.left) * double(r.bottom - r.top);
    return {rect_copy_ns + area * rect_pixel_ns < n * pixel_copy_ns, r};
}

void present_frame_as(plat_dc target, const frame_buffer *fb, const present_plan &plan) {
    if (plan.whole_rect) {
        const pixel_rect &r = plan.rect;
        plat_copy_rect(target, fb, r.left, r.top, r.right - r.left, r.bottom - r.top);
        return;
    }
    // In list order: a pixel recorded twice shows its last value either way.
    const dirty_pixels *const list = fb->dirty_dot;
    const int32_t n = fb->dirty_dot_index, ox = fb->origin_x, oy = fb->origin_y;
    for (int32_t k = 0; k < n; k++) plat_copy_pixel(target, fb, ox + list[k].x, oy + list[k].y);
}

void present_frame(plat_dc target, const frame_buffer *fb) {
    present_frame_as(target, fb, plan_presentation(fb));
}

void present_whole(plat_dc target, const frame_buffer *fb) {
    plat_copy_rect(target, fb, 0, 0, fb->width, fb->height);
}
