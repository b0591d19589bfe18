// The frame step: moves, fades and draws every dot, then presents the frame.
// The per-value rules are inline here so the tests exercise the very code
// render runs; their rounding (which operation happens in single and which in
// double precision) is what makes the native and the Windows builds agree.
#pragma once
#include <cstdint>

#include "framebuf/framebuf.h"
#include "platform/platform.h"
#include "sim/dots.h"

// Asked between dots, once per stop_check_interval pixels drawn, while a frame
// takes long (huge settings): non-zero means the front end is ending, and the
// rest of the frame is neither drawn nor shown. Ordinary frames never ask.
typedef int (*frame_stop_check)();
constexpr int32_t stop_check_interval = 65536;

// One frame: steps every dot and draws it into `fb` (the field at fb's origin),
// recording each pixel in fb's dirty list, then presents the recorded pixels on
// `target`.
void render(plat_dc target, frame_buffer *fb, frame_stop_check stop = nullptr);

// render without the presentation. Returns 0, or 1 when `stop` ended the frame
// early.
int render_dots(frame_buffer *fb, frame_stop_check stop = nullptr);

// render_dots in parts, for a front end that must answer between them (the web
// page): steps the dots from *next on (0 begins a frame) until `pause` answers
// non-zero, asked as `stop` is, or the last dot is done. Returns 1 with the frame
// recorded as render_dots records it and *next back at 0, or 0 when paused with
// *next the dot to go on from. The dots go in the same order either way, so a
// frame drawn in parts is the very frame drawn at once; nothing may present the
// frame buffer between its parts.
int render_dots_part(frame_buffer *fb, int32_t *next, frame_stop_check pause);

// The field brought `frames` frames forward before it is first shown, for
// measuring a run as it stands once the dots have spread: the very frame steps
// and random draws of a run, drawn into fb's picture and shown to no one, so
// that fb then holds what a screen would show after those frames. Leaves no
// marks or list for the presentation (the first paint shows the whole picture).
// 0, or 1 when `stop` ended a frame (the field is then part way through it).
int render_frames_ahead(frame_buffer *fb, int64_t frames, frame_stop_check stop = nullptr);

// A component of a trail point `age` frames old: trunc(c - age * dot_fade), the
// product and difference in double (exact for every value that occurs),
// negative results becoming 0.
inline int32_t fade_component(int32_t c, int32_t age) {
    double v = double(float(c)) - double(float(age)) * double(dot_fade);
    int32_t t = int32_t(v);  // |v| <= 1024 * 256 + 255: always representable
    return t < 0 ? 0 : t;
}

// The same fade the fast way render takes it. For an integer c and an exact
// product p >= 0, trunc(c - p) clamped at 0 equals max(0, c - ceil(p)), so one
// ceil(age * dot_fade) per age and frame serves every dot and component.
inline int32_t fade_step(int32_t age) {
    double p = double(float(age)) * double(dot_fade);  // exact: <= 35 significant bits
    int32_t t = int32_t(p);                            // p <= 1024 * 256
    return double(t) < p ? t + 1 : t;
}

// A fade step as the byte it takes off each component of a packed colour. A
// component is 0..255, so a step beyond 255 takes it to 0 just as 255 does.
inline uint32_t fade_cut(int32_t step) { return uint32_t(step > 255 ? 255 : step) * 0x010101u; }

// A packed colour faded: every byte less the cut's, stopping at 0. Bytes never
// borrow from one another, so this is max(0, c - step) for each component (and
// what one SSE2 saturating subtraction does for four colours at once).
inline uint32_t faded_colour(uint32_t colour, uint32_t cut) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = colour >> shift & 0xFF, k = cut >> shift & 0xFF;
        out |= (c > k ? c - k : 0) << shift;
    }
    return out;
}

// One inertial push: m / inertia + v, both in double, kept in single precision.
// inertia 0 gives +inf, -inf or NaN, which the limit below turns into a number.
inline double push_quotient(int32_t m, int32_t inertia_value) {
    return double(float(m)) / double(float(inertia_value));
}
inline float inertial_speed(float v, int32_t m, int32_t inertia_value) {
    return float(push_quotient(m, inertia_value) + double(v));
}

// The two limits of an inertial speed. The lower one is the setting negated as
// an integer. -INT_MIN does not fit 32 bits; it is taken as 2^31, its true
// value, so a negative limit means |limit| on both sides, INT_MIN included.
// (Spelled out rather than negated in 64 bits: i686 would convert an int64 with
// x87 instructions.)
inline float upper_speed_limit(int32_t limit) { return float(limit); }
inline float lower_speed_limit(int32_t limit) {
    return limit == INT32_MIN ? 2147483648.0f : float(-limit);
}

// The comparison forms decide where infinities and NaN go: +inf and NaN fail
// `upper >= v` and take the upper limit, -inf takes the lower one. Both limits
// are finite, so the result always is.
inline float limit_speed(float v, float upper, float lower) {
    if (!(upper >= v)) v = upper;
    if (lower > v) v = lower;
    return v;
}

// The move, added in double and kept in single precision.
inline float moved(float p, float v) { return float(double(p) + double(v)); }

// Keeps one coordinate within 0..edge (edge = side - 1) by bouncing: the speed
// reverses. A NaN or infinite position also ends inside, by the second test.
inline void bounce_axis(float &p, float &v, float edge) {
    if (0.0f > p) {
        p = 0.0f;
        v = 0.0f - v;
    }
    if (!(edge >= p)) {
        p = edge;
        v = 0.0f - v;
    }
}

// Keeps one coordinate within 0..edge by wrapping to the other side; the
// overshoot is dropped.
inline void wrap_axis(float &p, float edge) {
    if (0.0f > p) p = edge;
    if (!(edge >= p)) p = 0.0f;
}

// The inertial push's m: (rnd() - 16383) rem 1001, with C++'s truncating %.
inline int32_t inertial_push() { return (rnd() - 16383) % 1001; }

// A random-walk speed: -1, 0 or +1.
inline float random_walk_speed() { return float(rnd() % 3 - 1); }
