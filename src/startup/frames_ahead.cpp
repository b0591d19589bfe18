// The start-further-on request's two variables, parsed without the C library's
// looser number reading (no spaces, no hex, no overflow wrapping).
#include "startup/frames_ahead.h"

const char frames_ahead_seed_variable[] = "PLIX_SEED";
const char frames_ahead_frames_variable[] = "PLIX_FRAMES_AHEAD";

namespace {

// A decimal, optionally signed, within lo..hi.
bool decimal_in(const char *s, int64_t lo, int64_t hi, int64_t *out) {
    const bool negative = *s == '-';
    if (*s == '-' || *s == '+') s++;
    if (*s < '0' || *s > '9') return false;
    int64_t v = 0;
    for (; *s >= '0' && *s <= '9'; s++)
        if ((v = v * 10 + (*s - '0')) > hi - lo) return false;  // past every value in range
    v = negative ? -v : v;
    if (*s || v < lo || v > hi) return false;
    *out = v;
    return true;
}

}  // namespace

bool parse_frames_ahead(const char *seed, const char *frames, frames_ahead_request *out,
                        const char **bad) {
    *out = {};
    int64_t s = 0, f = 0;
    if (seed && *seed && !decimal_in(seed, INT32_MIN, INT32_MAX, &s)) {
        *bad = frames_ahead_seed_variable;
        return false;
    }
    if (frames && *frames && !decimal_in(frames, 0, INT32_MAX, &f)) {
        *bad = frames_ahead_frames_variable;
        return false;
    }
    *out = {seed && *seed, int32_t(s), int32_t(f)};
    return true;
}
