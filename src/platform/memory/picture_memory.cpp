// A picture in plain zeroed memory (memory_picture.h): calloc, so a picture too
// big to have is a null, not a throw.
#include <cstdlib>

#include "platform/memory/memory_picture.h"

int memory_picture_init(frame_buffer *fb, int32_t width, int32_t height) {
    fb->pixels = static_cast<uint32_t *>(calloc(size_t(width) * size_t(height), 4));
    if (fb->pixels && init_present_tiles(fb, width, height) != 0) {
        free(fb->pixels);
        fb->pixels = nullptr;
    }
    fb->width = fb->pixels ? width : 0;
    fb->height = fb->pixels ? height : 0;
    fb->bitmap = nullptr;
    return fb->pixels ? 0 : 1;
}

void memory_picture_free(frame_buffer *fb) {
    deinit_present_tiles(fb);
    free(fb->pixels);
    fb->pixels = nullptr;
    fb->width = fb->height = 0;
}
