// The presentation of a frame: which way the pixels a frame recorded reach the
// screen. (The frame buffer itself, its pixel format and its copies are the
// platform's: platform/platform.h.)
//
// Per frame the cheapest of three ways by the platform's own costs: the recorded
// pixels one by one; one copy of the rectangle that bounds them all; or one copy
// clipped to the tiles they lie in, merged into rectangles. All show the same
// screen, byte for byte: once the first paint has shown the whole picture
// (black, or the captured screen in chow mode), the window equals the picture
// everywhere, and a frame changes the picture only at the pixels it records. A
// rectangle or a tile holding some of them copies those same values, plus pixels
// the window already shows.
#pragma once
#include <cstdint>

#include "platform/platform.h"

enum present_way { by_pixels, by_bounds, by_tiles };

struct present_plan {
    present_way way;
    pixel_rect bounds;   // by_bounds, by_tiles: holds every recorded pixel
    int32_t rect_count;  // by_tiles: fb->tiles.rects[0 .. rect_count)
    double area;         // by_tiles: the pixels the rectangles cover
};

// The smallest rectangle of the picture holding every pixel recorded in fb (at
// least one).
pixel_rect dirty_bounds(const frame_buffer *fb);

// dirty_bounds, marking on the way the tile of every recorded pixel (fb must have
// its tile storage).
pixel_rect mark_dirty_tiles(frame_buffer *fb);

// The marked tiles within `bounds` as rectangles in fb->tiles.rects: runs of
// marked tiles in a tile row, a run growing down while the next row has a run with
// the same edges. Clears the marks; returns the number of rectangles, in *area
// the pixels they cover and, where covered_rect is not null, the rectangle
// bounding them. With `costs` (none of them below 0), it stops adding rectangles
// once their clipped copy would cost `most` or more, and returns -1; the marks
// are cleared and *covered_rect found all the same: with many dots spread over a
// large screen the whole picture wins every frame, and the merge need not finish.
int32_t merge_dirty_tiles(frame_buffer *fb, const pixel_rect &bounds, double *area,
                          pixel_rect *covered_rect, const present_costs *costs = nullptr,
                          double most = 0);

// The cheapest way for the frame recorded in fb (its dirty_dot_index entries) by
// `costs`. Where the frame step marked the tiles (fb->tiles.marked) it takes the
// marks, and the bounds are those of the marked tiles; it clears the flag, so
// that a second plan of the same frame reads the list. Leaves the marks cleared.
// A list longer than fb->tiles.list_room is cut short: it never goes one by one,
// and planned a second time it goes as the whole picture.
present_plan plan_presentation(frame_buffer *fb, const present_costs &costs);

// Copies the recorded pixels of this frame to the target the way `plan` says
// (one by one: from a list that is not cut short).
void present_frame_as(plat_dc target, const frame_buffer *fb, const present_plan &plan);

// plan_presentation by the platform's costs, then present_frame_as. Where the
// platform can time its copies, the costs are those its copies of this picture
// have been seen to take (metered_costs), and the copy is timed.
void present_frame(plat_dc target, frame_buffer *fb);

// The platform's table as `meter` has seen it: each way's figures times its
// scale. Which way is cheaper depends on the machine and on the frames: a table
// fitted on one machine's first frames can be wrong by twice or more on another
// machine, or once the dots have spread. Every meter_retry frames the way last
// taken is priced twice as dear, so that a way within twice its cost is tried
// again and its scale kept true; one beyond that costs nothing to leave.
constexpr int32_t meter_retry = 128;
present_costs metered_costs(const present_costs &table, const present_meter &meter);

// Takes `ns`, what presenting by `plan` took, into the scale of its way (the
// table's cost of that plan being the unit). The first frame of a way sets its
// scale, within half and twice the table; each later one moves it an eighth of
// the way, and by no more than half or twice what it was: a frame held up by
// the system misleads it little.
void meter_presentation(present_meter *meter, const present_costs &table, const present_plan &plan,
                        const frame_buffer *fb, double ns);

// A new picture of width x height in *fb, whose frames record into `list`:
// black, or with `capture` (chow) what the screen shows from (screen_x,
// screen_y) on, for the dots to eat into. The old picture is the caller's to
// release (a refit copies from it first). 0, or 1 with fb->pixels null when the
// picture cannot be had.
int new_picture(frame_buffer *fb, int32_t width, int32_t height, dirty_pixels *list, bool capture,
                int32_t screen_x, int32_t screen_y);

// The whole picture, in one copy: the first paint, which makes the window equal
// to the picture everywhere.
void present_whole(plat_dc target, const frame_buffer *fb);
