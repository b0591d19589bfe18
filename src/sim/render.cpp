// The frame step, per dot in named steps: age and draw the trail, erase the
// tail, move, draw the head, list and mark; then the recorded pixels presented.
#include "sim/render.h"

#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "settings/settings.h"

namespace {

// Per frame: the fade cut of every age. Per dot: its packed colour at every age.
// Fixed arrays, so a frame allocates nothing; padded to whole groups of four
// and aligned for the SSE2 loop.
constexpr int32_t table_size = dot_historyy + 4;
alignas(16) uint32_t age_cut[table_size];
alignas(16) uint32_t age_colour[table_size];

// Every push_quotient(m, inertia), m = -1000..1000, for the inertia in use: the
// very same quotients, divided once per setting rather than twice a dot a frame.
double push_table[2 * 1000 + 1];
int32_t push_table_inertia;
bool push_table_filled;

const double *pushes_for(int32_t inertia_value) {
    if (!push_table_filled || push_table_inertia != inertia_value) {
        for (int32_t m = -1000; m <= 1000; m++)
            push_table[m + 1000] = push_quotient(m, inertia_value);
        push_table_inertia = inertia_value;
        push_table_filled = true;
    }
    return push_table + 1000;
}

// age_colour[k] = the colour faded by age_cut[k], for k = 0..last.
void fill_age_colours(uint32_t colour, int32_t last) {
#if defined(__SSE2__)
    const __m128i c = _mm_set1_epi32(int32_t(colour));
    for (int32_t k = 0; k <= last; k += 4) {
        const __m128i cut = _mm_load_si128(reinterpret_cast<const __m128i *>(&age_cut[k]));
        _mm_store_si128(reinterpret_cast<__m128i *>(&age_colour[k]), _mm_subs_epu8(c, cut));
    }
#else
    for (int32_t k = 0; k <= last; k++) age_colour[k] = faded_colour(colour, age_cut[k]);
#endif
}

uint32_t packed(int32_t r, int32_t g, int32_t b) { return uint32_t(r + g * 256 + b * 65536); }

// In the running saver the picture and the dot records are out of the caches
// when a frame starts (the X server and others ran since the last one), and
// nearly every trail point is a store to a line of its own. Asking for those
// lines some points ahead keeps many misses in flight instead of one store
// waiting at a time. One hint per two points: neighbouring points often share a
// line, and a hint per point cost more in a warm frame than it saved in a cold
// one (docs/benchmarks-history.md, "The frame step with cold caches"). The
// hints change nothing that is drawn.
constexpr int32_t prefetch_ahead = 16;
inline void prefetch_for_store(const void *p) { __builtin_prefetch(p, 1, 3); }
inline void prefetch_for_load(const void *p) { __builtin_prefetch(p, 0, 3); }

// What a frame's steps share: the settings of this frame and the picture's
// geometry, list and tiles, copied out of their globals and fields. The
// uint32_t stores may alias those int32_t globals and fields, which would
// otherwise be reloaded every pixel; a local object whose address goes nowhere
// else stays in registers.
struct frame_step {
    int32_t history_len;
    const double *push;  // null in Brownian motion
    float upper, lower, right, bottom;
    int32_t width;
    uint32_t *origin;  // the field's (0, 0) in the picture
    dirty_pixels *list;
    int32_t room;  // of the list: with the tiles marked, only what may be copied one by one
    uint8_t *marks;
    int32_t tiles_x, ox, oy;
#if defined(__SSE2__)
    bool marks_by_four;
    __m128i origin_pairs, weights;
#endif
    int32_t n;  // places recorded so far in this frame
};

frame_step begin_step(frame_buffer *fb, int32_t first) {
    frame_step s;
    s.history_len = dot_history;
    s.push = brownian ? nullptr : pushes_for(inertia);
    s.upper = upper_speed_limit(speed_limit);
    s.lower = lower_speed_limit(speed_limit);
    s.right = float(cx - 1);
    s.bottom = float(cy - 1);
    s.width = fb->width;
    s.origin = fb->pixels + (ptrdiff_t(fb->origin_y) * s.width + fb->origin_x);
    s.list = fb->dirty_dot;
    s.marks = fb->tiles.marks;
    s.room = s.marks ? fb->tiles.list_room : INT32_MAX;
    s.tiles_x = fb->tiles.tiles_x;
    s.ox = fb->origin_x;
    s.oy = fb->origin_y;
    // Every sum of the four-at-a-time marks stays within 16 bits while the
    // picture is at most 65535 wide and high.
#if defined(__SSE2__)
    s.marks_by_four = fb->width <= 65535 && fb->height <= 65535;
    s.origin_pairs = _mm_set1_epi32(int32_t(uint32_t(s.ox) | uint32_t(s.oy) << 16));
    s.weights = _mm_set1_epi32(int32_t(1u | uint32_t(s.tiles_x) << 16));
#endif
    s.n = first > 0 ? fb->dirty_dot_index : 0;  // a later part goes on counting
    for (int32_t k = 1; k <= s.history_len; k++) age_cut[k] = fade_cut(fade_step(k));
    return s;
}

uint32_t *pixel_at(const frame_step &s, history p) { return s.origin + (p.y * s.width + p.x); }
void put(const frame_step &s, history p, uint32_t colour) { *pixel_at(s, p) = colour; }

// The first trail points a dot stores: its oldest, hist[history_len - 2] down,
// before ageing moves them up one place.
void prefetch_first_points(const frame_step &s, const plix &d) {
    for (int32_t k = s.history_len - 2; k >= 0 && k > s.history_len - 2 - prefetch_ahead; k--)
        prefetch_for_store(pixel_at(s, d.hist[k]));
}

// A dot two ahead: its speed and position, and its whole trail, which the
// ageing copy reads and writes (docs/benchmarks-history.md, "Marks four at a
// time, trails asked for early").
void prefetch_record(const frame_step &s, const plix &d) {
    prefetch_for_load(&d);
    for (int32_t k = 0; k < s.history_len; k += 16) prefetch_for_store(&d.hist[k]);
    prefetch_for_store(&d.hist[s.history_len - 1]);
}

// 1. Age and draw the trail: every point moves one place towards the end (in
// one copy, faster than moving each inside the drawing loop, measured), and
// hist[history_len - 1] down to hist[1] are drawn at their new age. A dot's
// pixels are stored first and their places recorded after (step 5): one loop
// doing both needs more values than the 32-bit build has registers, and spilled
// them every pixel (docs/benchmarks-history.md, "Fewer stores a pixel").
// `next`, the dot after, has its first stores asked for in the place of this
// one's last.
void age_and_draw_trail(const frame_step &s, plix &d, const plix *next) {
    const int32_t history_len = s.history_len;
    if (history_len > 1) memmove(&d.hist[1], &d.hist[0], size_t(history_len - 1) * sizeof(history));
    int32_t ii = history_len - 1;
    for (; ii > prefetch_ahead + 1; ii -= 2) {
        prefetch_for_store(pixel_at(s, d.hist[ii - prefetch_ahead]));
        put(s, d.hist[ii], age_colour[ii + 1]);
        put(s, d.hist[ii - 1], age_colour[ii]);
    }
    if (next) prefetch_first_points(s, *next);
    for (; ii >= 1; ii--) put(s, d.hist[ii], age_colour[ii + 1]);
}

// 2. The tail: the oldest point goes black after the aged points, so it wins
// over them where they coincide, but not over the newest point or the head.
history erase_tail(const frame_step &s, const plix &d) {
    const history oldest = d.hist[s.history_len - 1];
    put(s, oldest, 0);
    return oldest;
}

// 3. Move: the head's place becomes the newest trail point, drawn at age 1;
// then the new speed and the new position within the field.
void move(const frame_step &s, plix &d) {
    // Positions are always within 0..cx-1 / 0..cy-1 here, so the truncation is
    // defined and fits a trail point.
    d.hist[0] = {int16_t(int32_t(d.x)), int16_t(int32_t(d.y))};
    put(s, d.hist[0], age_colour[1]);
    if (!s.push) {
        d.xv = random_walk_speed();
        d.yv = random_walk_speed();
    } else {
        // As inertial_speed: the x push is drawn before the y push.
        d.xv = float(s.push[inertial_push()] + double(d.xv));
        d.yv = float(s.push[inertial_push()] + double(d.yv));
        d.xv = limit_speed(d.xv, s.upper, s.lower);
        d.yv = limit_speed(d.yv, s.upper, s.lower);
    }
    d.x = moved(d.x, d.xv);
    d.y = moved(d.y, d.yv);
    if (bounce) {
        bounce_axis(d.x, d.xv, s.right);
        bounce_axis(d.y, d.yv, s.bottom);
    } else {
        wrap_axis(d.x, s.right);
        wrap_axis(d.y, s.bottom);
    }
}

// 4. The head, in the dot's own colour.
history draw_head(const frame_step &s, const plix &d, uint32_t colour) {
    const history head = {int16_t(int32_t(d.x)), int16_t(int32_t(d.y))};
    put(s, head, colour);
    return head;
}

void mark(const frame_step &s, history p) {
    s.marks[((s.oy + p.y) >> tile_shift) * s.tiles_x + ((s.ox + p.x) >> tile_shift)] = 1;
}

// The marks of a trail: a tile's index is ty * tiles_x + tx, which SSE2 finds
// for four points at once from their (x, y) pairs, shifted to tiles, in one
// multiply-add by (1, tiles_x): half the instructions a point, where marking had
// become a third of a large frame's step (docs/benchmarks-history.md, "Marks
// four at a time, trails asked for early").
void mark_trail(const frame_step &s, const history *h, int32_t count) {
    int32_t k = 0;
#if defined(__SSE2__)
    if (s.marks_by_four) {
        for (; k + 4 <= count; k += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + k));
            const __m128i tiles = _mm_srli_epi16(_mm_add_epi16(p, s.origin_pairs), tile_shift);
            const __m128i at = _mm_madd_epi16(tiles, s.weights);
            s.marks[_mm_cvtsi128_si32(at)] = 1;
            s.marks[_mm_cvtsi128_si32(_mm_shuffle_epi32(at, 1))] = 1;
            s.marks[_mm_cvtsi128_si32(_mm_shuffle_epi32(at, 2))] = 1;
            s.marks[_mm_cvtsi128_si32(_mm_shuffle_epi32(at, 3))] = 1;
        }
    }
#endif
    for (; k < count; k++) mark(s, h[k]);
}

void list_place(const frame_step &s, int32_t &k, history p) {
    if (k < s.room) s.list[k] = {p.x, p.y};
    k++;
}

// 5. List and mark: the places of the dot's history_len + 2 pixels, in the
// order they were stored (the aged points hist[history_len - 1] down to
// hist[1], the oldest point, the newest point hist[0] and the head), and the
// tiles the presentation needs, marked while the trail is still in the nearest
// cache: a second pass over the list, which has left the caches by the end of
// a large frame, cost more (docs/benchmarks-history.md, "Tiles marked while
// drawing").
void list_and_mark(frame_step &s, const plix &d, history oldest, history head) {
    const int32_t history_len = s.history_len;
    if (s.n < s.room) {
        int32_t k = s.n;
        for (int32_t ii = history_len - 1; ii >= 1; ii--) list_place(s, k, d.hist[ii]);
        list_place(s, k, oldest);
        list_place(s, k, d.hist[0]);
        list_place(s, k, head);
    }
    if (s.marks) {
        mark_trail(s, d.hist, history_len);
        mark(s, oldest);
        mark(s, head);
    }
    s.n += history_len + 2;
}

// The frame as the presentation takes it. A stopped frame is never shown: its
// marks must not reach the next one.
int finish(const frame_step &s, frame_buffer *fb, bool stopped) {
    fb->dirty_dot_index = s.n;
    fb->tiles.marked = s.marks && !stopped;
    if (stopped && s.marks) memset(s.marks, 0, size_t(s.tiles_x) * size_t(fb->tiles.tiles_y));
    return stopped ? 1 : 0;
}

// render_dots from dot `first` on: a later part of a frame (first > 0) goes on
// counting from the places the earlier parts recorded. With `resume_at`, a yes
// from `stop` pauses instead of ending the frame: 2, the next dot put there.
int step_dots(frame_buffer *fb, int32_t first, frame_stop_check stop, int32_t *resume_at) {
    frame_step s = begin_step(fb, first);
    int32_t next_check = s.n + stop_check_interval;
    if (first < dot_count) prefetch_first_points(s, dot[first]);
    if (first + 1 < dot_count) prefetch_record(s, dot[first + 1]);
    for (int32_t i = first; i < dot_count; i++) {
        plix &d = dot[i];
        if (i + 2 < dot_count) prefetch_record(s, dot[i + 2]);
        const uint32_t colour = packed(d.r, d.g, d.b);
        fill_age_colours(colour, s.history_len);
        age_and_draw_trail(s, d, i + 1 < dot_count ? &dot[i + 1] : nullptr);
        const history oldest = erase_tail(s, d);
        move(s, d);
        const history head = draw_head(s, d, colour);
        list_and_mark(s, d, oldest, head);
        if (stop && s.n >= next_check) {
            if (stop()) {
                if (!resume_at) return finish(s, fb, true);
                if (i + 1 < dot_count) {
                    fb->dirty_dot_index = s.n;
                    *resume_at = i + 1;
                    return 2;
                }
            }
            next_check = s.n + stop_check_interval;
        }
    }
    if (resume_at) *resume_at = 0;
    return finish(s, fb, false);
}

}  // namespace

int render_dots(frame_buffer *fb, frame_stop_check stop) { return step_dots(fb, 0, stop, nullptr); }

int render_dots_part(frame_buffer *fb, int32_t *next, frame_stop_check pause) {
    return step_dots(fb, *next, pause, next) == 0 ? 1 : 0;
}

void render(plat_dc target, frame_buffer *fb, frame_stop_check stop) {
    if (render_dots(fb, stop) == 0) present_frame(target, fb);
}
