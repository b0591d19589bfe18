// The field run ahead unseen. A file of its own: in render.cpp a second caller
// of the whole inlined frame step made GCC stop inlining the per-dot steps into
// it, and the step of every frame shown cost a third more.
#include <cstring>

#include "sim/render.h"

int render_frames_ahead(frame_buffer *fb, int64_t frames, frame_stop_check stop) {
    for (int64_t f = 0; f < frames; f++)
        if (render_dots(fb, stop) != 0) return 1;  // a stopped frame clears its own marks
    // Each frame marks its tiles; unpresented, they would reach the first shown one.
    if (fb->tiles.marks)
        memset(fb->tiles.marks, 0, size_t(fb->tiles.tiles_x) * size_t(fb->tiles.tiles_y));
    fb->tiles.marked = false;
    fb->dirty_dot_index = 0;
    return 0;
}

