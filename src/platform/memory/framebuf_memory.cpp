// The frame buffer of the builds without a window system (native and web): a
// picture in plain memory.
#include "platform/memory/memory_picture.h"
#include "platform/platform.h"

int init_framebuf(frame_buffer *fb, int32_t width, int32_t height) {
    return memory_picture_init(fb, width, height);
}

void deinit_framebuf(frame_buffer *fb) { memory_picture_free(fb); }
