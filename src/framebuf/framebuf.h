// The presentation of a frame: which way the pixels a frame recorded reach the
// screen. (The frame buffer itself, its pixel format and its copies are the
// platform's: platform/platform.h.)
//
// Few recorded pixels go one by one; beyond a measured break-even, one copy of
// the rectangle that bounds them all. Both show the same screen, byte for byte:
// once the first paint has shown the whole picture (black, or the captured
// screen in chow mode), the window equals the picture everywhere, and a frame
// changes the picture only at the pixels it records. A rectangle holding all of
// them copies those same values, plus pixels the window already shows.
#pragma once
#include <cstdint>

#include "platform/platform.h"

// Costs of the two ways for the 32-bit program under Wine, from one run of
// plix-present-bench.exe (BENCHMARKS.md, "The two ways of copying"): a 1 x 1
// copy, and a rectangle's fixed cost and cost per pixel of its area (of
// mid-sized ones; the whole screen costs less a pixel). Only their ratios matter: a busy
// machine slows both alike. A frame spread over the whole screen goes as one
// rectangle from about 200 pixels on.
constexpr double pixel_copy_ns = 1400;
constexpr double rect_copy_ns = 3400;
constexpr double rect_pixel_ns = 0.35;

struct pixel_rect {
    int32_t left, top, right, bottom;  // right and bottom exclusive
};

struct present_plan {
    bool whole_rect;  // one copy of `rect`, else the recorded pixels one by one
    pixel_rect rect;
};

// The smallest rectangle of the picture holding every pixel recorded in fb (at
// least one).
pixel_rect dirty_bounds(const frame_buffer *fb);

// The cheaper way for the frame recorded in fb (its dirty_dot_index entries).
present_plan plan_presentation(const frame_buffer *fb);

// Copies the recorded pixels of this frame to the target the way `plan` says.
void present_frame_as(plat_dc target, const frame_buffer *fb, const present_plan &plan);

// plan_presentation, then present_frame_as.
void present_frame(plat_dc target, const frame_buffer *fb);

// The whole picture, in one copy: the first paint, which makes the window equal
// to the picture everywhere.
void present_whole(plat_dc target, const frame_buffer *fb);
