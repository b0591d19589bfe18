// The fields both present benchmarks measure at steady state: the shipped
// defaults with centre and with random starts, and 1000 dots with trails of
// 256, each as it stands some thousands of frames into a run of seed 1 (where
// the touched tiles level off at the screen's size, bench/steady_state.sh).
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "framebuf/framebuf.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"

struct steady_field {
    const char *name;
    int32_t count, history_len, start;
    long ahead;
};

// The three fields at a w x h screen.
inline void steady_fields(int32_t w, int32_t h, steady_field out[3]) {
    const bool small = w * h <= 1024 * 768, mid = w * h <= 1920 * 1080;
    const long spread = small ? 2000 : mid ? 3500 : 5500;
    out[0] = {"defaults, centre starts", 100, 64, 0, spread};
    out[1] = {"defaults, random starts", 100, 64, 1, spread};
    out[2] = {"1000 x 256", 1000, 256, 1, small ? 2000 : mid ? 8000 : 24000};
}

// Costs under which `way` (bounds or tiles) wins whatever the frame.
inline present_costs only_way(present_way way) {
    const double no = 1e12;
    if (way == by_bounds) return {no, 0, 0, no, no, no, no};
    return {no, no, no, 0, 0, 0, 0};
}

// "bounds 98, tiles 2": the frames each way was taken, those never taken left out.
inline const char *ways_taken(const int counts[3], char *text, size_t size) {
    const char *const ways[] = {"pixels", "bounds", "tiles"};
    text[0] = 0;
    for (int w = 0; w < 3; w++)
        if (counts[w])
            snprintf(text + strlen(text), size - strlen(text), "%s%s %d", text[0] ? ", " : "", ways[w],
                     counts[w]);
    return text;
}

// The field's dots set up for a w x h screen and run ahead into *frame, whose
// list becomes theirs. false when the dots cannot be had.
inline bool set_up_steady_field(const steady_field &s, int32_t w, int32_t h, frame_buffer *frame) {
    free_dots();
    dot_count = s.count;
    dot_history = s.history_len;
    inertia = 400;
    speed_limit = 3;
    brownian = 0;
    bounce = 1;
    chow = 0;
    starting_pos = s.start;
    clamp_dot_history();
    if (alloc_dots() != 0) return false;
    rand_seed = 1;
    setup_screen_and_dots(w, h);
    frame->dirty_dot = dirty_dot;
    frame->dirty_dot_index = 0;
    frame->tiles.meter = {};
    render_frames_ahead(frame, s.ahead);
    return true;
}
