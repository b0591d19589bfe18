// A run asked to start further on, for benchmarks and tests: the field as it
// stands after N frames from a given seed. Read once at start-up from the
// environment, so that a saver started by its host (Plix.scr /s takes nothing
// after its switch) runs as ever when it is not set.
#pragma once
#include <cstdint>

// The variables' names: a signed 32-bit decimal seed, and a frame count 0..2^31-1.
extern const char frames_ahead_seed_variable[];    // PLIX_SEED
extern const char frames_ahead_frames_variable[];  // PLIX_FRAMES_AHEAD

struct frames_ahead_request {
    bool seed_given;
    int32_t seed;
    int32_t frames;  // 0: start as ever
};

// The two variables' texts (null: not set) into *out. False, with *out as if
// neither were set and `bad` naming the variable, when one set is not a plain
// decimal in its range (an empty one counts as not set).
bool parse_frames_ahead(const char *seed, const char *frames, frames_ahead_request *out,
                        const char **bad);
