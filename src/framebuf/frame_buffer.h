// The frame buffer as a value: the picture the core draws into and a platform
// shows, its dirty list and the presentation's tiles, and what copying costs.
// Plain data with no dependencies, shared by the platform's services and the core.
#pragma once
#include <cstdint>

// One pixel position, as the frame records it.
struct dirty_pixels {
    int32_t x, y;
};

// A rectangle of the picture.
struct pixel_rect {
    int32_t left, top, right, bottom;  // right and bottom exclusive
};

// The presentation's coarse grid of the picture: tiles of tile_size x tile_size
// pixels (those of the last column and row cut at the picture's edge).
constexpr int32_t tile_shift = 4;
constexpr int32_t tile_size = 1 << tile_shift;

// The time each way of presenting (pixels, bounds, tiles) has taken over what
// the platform's table said, smoothed (0: not yet seen, taken as 1); the frames
// timed; the way of the last one.
struct present_meter {
    double scale[3];
    int32_t frames;
    int32_t last_way;
};

// The frame buffer: a picture the core draws into and the platform shows.
//
// Pixel format: width * height pixels of 32 bits, the top row first, each row
// exactly `width` pixels with nothing between rows: pixels[y * width + x]. Bits
// 0-7 are shown as blue, 8-15 as green, 16-23 as red; bits 24-31 are zero. A new
// frame buffer is black.
//
// The core draws its field of cx * cy pixels with the field's (0, 0) at
// (origin_x, origin_y) of the picture, and records in `dirty_dot` the field
// positions of the pixels it writes in a frame, `dirty_dot_index` of them (the
// presentation adds the origin). The list is the set-up's (room for a whole
// frame); the front end hands it over.
//
// `tiles` is the presentation's working storage, made with the picture so that
// no frame allocates: a mark per tile, 1 or 0 (tiles_x * tiles_y, row by row,
// all 0 between frames), room for the rectangles the marked tiles merge into
// (rect_capacity: every other tile of a row, on every row, the most there can
// be) and for two rows of rectangle indexes. Null in a hand-made frame buffer:
// its frames go by the other ways.
// `marked` says the frame step marked the tiles of this frame's pixels as it
// recorded them, so that the presentation need not read the list again; a list
// filled otherwise leaves it false.
// `list_room`: past this many pixels in a frame, one copy of the whole picture
// costs less on this platform than copying them one by one, so a frame step that
// marks the tiles lists the places of the first list_room pixels only (it still
// counts them all). A longer list is taken as cut short.
// `meter`: what the copies of this picture have been seen to cost, where the
// platform can time them (plat_present_clock).
struct present_tiles {
    uint8_t *marks;
    int32_t tiles_x, tiles_y;
    pixel_rect *rects;
    int32_t rect_capacity;
    int32_t *row_rects;  // 2 * (tiles_x / 2 + 1)
    int32_t list_room;
    bool marked;
    present_meter meter;
};

struct frame_buffer {
    uint32_t *pixels;  // null while there is no picture
    int32_t width, height;
    int32_t origin_x, origin_y;
    dirty_pixels *dirty_dot;
    int32_t dirty_dot_index;
    struct plat_bitmap_tag *bitmap;  // the platform's objects behind the pixels
    present_tiles tiles;
};

// What the three ways of presenting cost on a platform, in nanoseconds of
// processor time (the X server's included where it does the copying): one
// pixel copied alone; one rectangle, fixed and per pixel of its area; one
// clipped copy of rectangles, fixed, per rectangle, per pair of rectangles (Wine
// builds a region one rectangle at a time, each walking those before it) and per
// pixel of their area.
struct present_costs {
    double pixel;
    double rect_fixed, rect_pixel;
    double rects_fixed, rects_each, rects_pair, rects_pixel;
};
// The tile storage of a width x height picture, in fb->tiles (0, or 1 with
// everything null when it cannot be had), and its release. Every platform's
// init_framebuf and deinit_framebuf call these (present_tiles.cpp).
int init_present_tiles(frame_buffer *fb, int32_t width, int32_t height);
void deinit_present_tiles(frame_buffer *fb);
