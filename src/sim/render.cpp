// The frame step: per dot, the trail aged and redrawn faded, the erased tail,
// the new speed and position, the head; then the recorded pixels presented.
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
// one (BENCHMARKS.md). The hints change nothing that is drawn.
constexpr int32_t prefetch_ahead = 16;
inline void prefetch_for_store(const void *p) { __builtin_prefetch(p, 1, 3); }
inline void prefetch_for_load(const void *p) { __builtin_prefetch(p, 0, 3); }

}  // namespace

// render_dots from dot `first` on: a later part of a frame (first > 0) goes on
// counting from the places the earlier parts recorded. With `resume_at`, a yes
// from `stop` pauses instead of ending the frame: 2, the next dot put there.
static int step_dots(frame_buffer *fb, int32_t first, frame_stop_check stop, int32_t *resume_at) {
    const int32_t history_len = dot_history;
    for (int32_t k = 1; k <= history_len; k++) age_cut[k] = fade_cut(fade_step(k));
    const double *const push = brownian ? nullptr : pushes_for(inertia);
    const float upper = upper_speed_limit(speed_limit);
    const float lower = lower_speed_limit(speed_limit);
    const float right = float(cx - 1);
    const float bottom = float(cy - 1);

    // The picture's geometry, list and count in locals: the uint32_t stores may
    // alias the int32_t globals and fields, which would otherwise be reloaded
    // every pixel.
    const int32_t width = fb->width;
    uint32_t *const origin = fb->pixels + (ptrdiff_t(fb->origin_y) * width + fb->origin_x);
    dirty_pixels *const list = fb->dirty_dot;
    int32_t n = first > 0 ? fb->dirty_dot_index : 0;
    // A dot's pixels are stored first, then their places recorded: one loop
    // doing both needs more values than the 32-bit build has registers, and
    // spilled them every pixel (BENCHMARKS.md).
    auto put = [&](history p, uint32_t colour) { origin[p.y * width + p.x] = colour; };
    // The tiles the presentation needs, marked while the dot's trail is still
    // in the nearest cache: a second pass over the list, which has left the
    // caches by the end of a large frame, cost more (BENCHMARKS.md).
    uint8_t *const marks = fb->tiles.marks;
    const int32_t tiles_x = fb->tiles.tiles_x, ox = fb->origin_x, oy = fb->origin_y;
    auto mark = [&](history p) {
        marks[((oy + p.y) >> tile_shift) * tiles_x + ((ox + p.x) >> tile_shift)] = 1;
    };
    // The marks of a trail: a tile's index is ty * tiles_x + tx, which SSE2
    // finds for four points at once from their (x, y) pairs, shifted to tiles,
    // in one multiply-add by (1, tiles_x): half the instructions a point, where
    // marking had become a third of a large frame's step (BENCHMARKS.md). Every
    // sum stays within 16 bits while the picture is at most 65535 wide and high.
#if defined(__SSE2__)
    const bool marks_by_four = fb->width <= 65535 && fb->height <= 65535;
    const __m128i origin_pairs = _mm_set1_epi32(int32_t(uint32_t(ox) | uint32_t(oy) << 16));
    const __m128i weights = _mm_set1_epi32(int32_t(1u | uint32_t(tiles_x) << 16));
#endif
    auto mark_trail = [&](const history *h, int32_t count) {
        int32_t k = 0;
#if defined(__SSE2__)
        if (marks_by_four) {
            for (; k + 4 <= count; k += 4) {
                const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + k));
                const __m128i tiles = _mm_srli_epi16(_mm_add_epi16(p, origin_pairs), tile_shift);
                const __m128i at = _mm_madd_epi16(tiles, weights);
                marks[_mm_cvtsi128_si32(at)] = 1;
                marks[_mm_cvtsi128_si32(_mm_shuffle_epi32(at, 1))] = 1;
                marks[_mm_cvtsi128_si32(_mm_shuffle_epi32(at, 2))] = 1;
                marks[_mm_cvtsi128_si32(_mm_shuffle_epi32(at, 3))] = 1;
            }
        }
#endif
        for (; k < count; k++) mark(h[k]);
    };
    // With the tiles marked, only the places the presentation may copy one by one.
    const int32_t room = marks ? fb->tiles.list_room : INT32_MAX;
    auto list_place = [&](int32_t &k, history p) {
        if (k < room) list[k] = {p.x, p.y};
        k++;
    };
    // The places of a dot's history_len + 2 pixels, in the order they were
    // stored: the aged points hist[history_len - 1] down to hist[1], the oldest
    // point, the newest point hist[0] and the head.
    auto record = [&](const plix &d, history oldest, history head) {
        if (n < room) {
            int32_t k = n;
            for (int32_t ii = history_len - 1; ii >= 1; ii--) list_place(k, d.hist[ii]);
            list_place(k, oldest);
            list_place(k, d.hist[0]);
            list_place(k, head);
        }
        if (marks) {
            mark_trail(d.hist, history_len);
            mark(oldest);
            mark(head);
        }
        n += history_len + 2;
    };
    // The frame as the presentation takes it. A stopped frame is never shown:
    // its marks must not reach the next one.
    auto finish = [&](bool stopped) {
        fb->dirty_dot_index = n;
        fb->tiles.marked = marks && !stopped;
        if (stopped && marks) memset(marks, 0, size_t(tiles_x) * size_t(fb->tiles.tiles_y));
        return stopped ? 1 : 0;
    };
    int32_t next_check = n + stop_check_interval;

    auto pixel_at = [&](history p) { return origin + (p.y * width + p.x); };
    // The first trail points a dot stores: its oldest, hist[history_len - 2]
    // down, before ageing moves them up one place.
    auto prefetch_first_points = [&](const plix &d) {
        for (int32_t k = history_len - 2; k >= 0 && k > history_len - 2 - prefetch_ahead; k--)
            prefetch_for_store(pixel_at(d.hist[k]));
    };
    // A dot two ahead: its speed and position, and its whole trail, which the
    // ageing copy reads and writes (BENCHMARKS.md).
    auto prefetch_record = [&](const plix &d) {
        prefetch_for_load(&d);
        for (int32_t k = 0; k < history_len; k += 16) prefetch_for_store(&d.hist[k]);
        prefetch_for_store(&d.hist[history_len - 1]);
    };
    if (first < dot_count) prefetch_first_points(dot[first]);
    if (first + 1 < dot_count) prefetch_record(dot[first + 1]);

    for (int32_t i = first; i < dot_count; i++) {
        plix &d = dot[i];
        if (i + 2 < dot_count) prefetch_record(dot[i + 2]);
        const uint32_t colour = packed(d.r, d.g, d.b);
        fill_age_colours(colour, history_len);
        // Ageing: every used entry moves one place towards the end, in one copy
        // (faster than moving each entry inside the drawing loop, measured).
        if (history_len > 1)
            memmove(&d.hist[1], &d.hist[0], size_t(history_len - 1) * sizeof(history));
        int32_t ii = history_len - 1;
        for (; ii > prefetch_ahead + 1; ii -= 2) {
            prefetch_for_store(pixel_at(d.hist[ii - prefetch_ahead]));
            put(d.hist[ii], age_colour[ii + 1]);
            put(d.hist[ii - 1], age_colour[ii]);
        }
        // The next dot's first stores take the place of this one's last.
        if (i + 1 < dot_count) prefetch_first_points(dot[i + 1]);
        for (; ii >= 1; ii--) put(d.hist[ii], age_colour[ii + 1]);
        // The oldest point goes black after the aged points, so it wins over
        // them where they coincide, but not over the newest point or the head.
        const history oldest = d.hist[history_len - 1];
        put(oldest, 0);
        // Positions are always within 0..cx-1 / 0..cy-1 here, so the
        // truncation is defined and fits a trail point.
        d.hist[0] = {int16_t(int32_t(d.x)), int16_t(int32_t(d.y))};
        put(d.hist[0], age_colour[1]);
        if (brownian) {
            d.xv = random_walk_speed();
            d.yv = random_walk_speed();
        } else {
            // As inertial_speed: the x push is drawn before the y push.
            d.xv = float(push[inertial_push()] + double(d.xv));
            d.yv = float(push[inertial_push()] + double(d.yv));
            d.xv = limit_speed(d.xv, upper, lower);
            d.yv = limit_speed(d.yv, upper, lower);
        }
        d.x = moved(d.x, d.xv);
        d.y = moved(d.y, d.yv);
        if (bounce) {
            bounce_axis(d.x, d.xv, right);
            bounce_axis(d.y, d.yv, bottom);
        } else {
            wrap_axis(d.x, right);
            wrap_axis(d.y, bottom);
        }
        const history head = {int16_t(int32_t(d.x)), int16_t(int32_t(d.y))};
        put(head, colour);
        record(d, oldest, head);
        if (stop && n >= next_check) {
            if (stop()) {
                if (!resume_at) return finish(true);
                if (i + 1 < dot_count) {
                    fb->dirty_dot_index = n;
                    *resume_at = i + 1;
                    return 2;
                }
            }
            next_check = n + stop_check_interval;
        }
    }
    if (resume_at) *resume_at = 0;
    return finish(false);
}

int render_dots(frame_buffer *fb, frame_stop_check stop) { return step_dots(fb, 0, stop, nullptr); }

int render_dots_part(frame_buffer *fb, int32_t *next, frame_stop_check pause) {
    return step_dots(fb, *next, pause, next) == 0 ? 1 : 0;
}

void render(plat_dc target, frame_buffer *fb, frame_stop_check stop) {
    if (render_dots(fb, stop) == 0) present_frame(target, fb);
}
