// The portable half of the frame buffer: the presentation of the dirty pixels.
#include "framebuf/framebuf.h"

uint32_t *framebuf;
int32_t dirty_dot_index;

void present_frame(plat_dc target) {
    // A frame records exactly as many entries as the list holds, so this copies
    // the whole list; counting what was recorded never reads a stale entry.
    for (int32_t k = 0; k < dirty_dot_index; k++)
        plat_copy_pixel(target, dirty_dot[k].x, dirty_dot[k].y);
}
