// The presentation's tile storage, the same on every platform: made and
// released with the picture.
#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"

int init_present_tiles(frame_buffer *fb, int32_t width, int32_t height) {
    present_tiles &t = fb->tiles;
    t = {};
    if (width < 1 || height < 1) return 1;
    const int32_t tiles_x = (width + tile_size - 1) >> tile_shift;
    const int32_t tiles_y = (height + tile_size - 1) >> tile_shift;
    const int32_t per_row = tiles_x / 2 + 1;  // runs of a row are apart by a tile at least
    t.marks = static_cast<uint8_t *>(calloc(size_t(tiles_x) * size_t(tiles_y), 1));
    t.rects =
        static_cast<pixel_rect *>(calloc(size_t(per_row) * size_t(tiles_y), sizeof(pixel_rect)));
    t.row_rects = static_cast<int32_t *>(calloc(2 * size_t(per_row), sizeof(int32_t)));
    if (!t.marks || !t.rects || !t.row_rects) {
        deinit_present_tiles(fb);
        return 1;
    }
    t.tiles_x = tiles_x;
    t.tiles_y = tiles_y;
    t.rect_capacity = per_row * tiles_y;
    // The list's places beyond what going one by one could ever win are never read,
    // and writing them cost a large frame a seventh of its step
    // (docs/benchmarks-history.md, "Fewer stores a pixel").
    const present_costs c = plat_present_costs();
    const double whole = c.rect_fixed + double(width) * double(height) * c.rect_pixel;
    t.list_room =
        c.pixel > 0 && whole / c.pixel < INT32_MAX ? int32_t(whole / c.pixel) + 1 : INT32_MAX;
    return 0;
}

void deinit_present_tiles(frame_buffer *fb) {
    free(fb->tiles.marks);
    free(fb->tiles.rects);
    free(fb->tiles.row_rects);
    fb->tiles = {};
}
