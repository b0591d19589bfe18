// The portable half of the frame buffer: the presentation of the dirty pixels.
#include "framebuf/framebuf.h"

uint32_t *framebuf;
int32_t dirty_dot_index;

void present_frame(plat_dc target) {
    // A frame records exactly as many entries as the list holds, so this copies
    // the whole list; counting what was recorded never reads a stale entry.
    // Held in locals: the copy is an opaque call, after which the globals would
    // have to be read again for every pixel.
    const dirty_pixels *const list = dirty_dot;
    const int32_t n = dirty_dot_index;
    for (int32_t k = 0; k < n; k++) {
        plat_copy_pixel(target, list[k].x, list[k].y);
        // With huge settings one frame can take minutes of single-pixel copies;
        // a key or button waiting means the saver is ending, so the rest of this
        // frame need not be shown. Ordinary frames never reach the check.
        if ((k + 1) % present_check_interval == 0 && plat_user_input_waiting()) return;
    }
}
