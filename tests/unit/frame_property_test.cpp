// Property test of the saver's whole data path: random settings from the full
// 32-bit range go through the settings writer and reader, the set-up and a few
// hundred frames, the screen changing size half-way, and every frame must stay
// on the screen, record exactly dot_count * (dot_history + 2) pixels and keep
// every colour within 0..255.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/memory/memory_screen.h"
#include "platform/native/native.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"
#include "test_support.h"

namespace {

constexpr uint32_t untouched = 0xAB000000u;  // no pixel store of a legal colour makes this

// A 32-bit value: half the time uniform over the whole range, otherwise one of
// the values where the arithmetic changes behaviour.
int32_t any_int32(std::mt19937 &rng) {
    static const int32_t special[] = {0,        1,       -1,      2,       -2,     3,
                                      1000,     1001,    -1000,   1023,    1024,   1025,
                                      32767,    65536,   1 << 24, (1 << 24) + 1,
                                      INT_MAX,  INT_MIN, INT_MAX - 1, INT_MIN + 1};
    if (rng() % 2) return int32_t(rng());
    return special[rng() % (sizeof special / sizeof special[0])];
}

// A screen side from 1 upwards, mostly tiny: 1 and 2 are where the edge rules
// and the wrap meet.
int any_side(std::mt19937 &rng) {
    static const int small[] = {1, 1, 2, 3};
    return rng() % 3 ? small[rng() % 4] : 1 + int(rng() % 40);
}

struct settings_case {
    int32_t values[8];  // in the order of setting_keys
    int32_t seed;
    int w, h;
};

std::ostream &operator<<(std::ostream &os, const settings_case &c) {
    for (int k = 0; k < 8; k++) os << setting_keys[k].key << "=" << c.values[k] << " ";
    return os << "seed=" << c.seed << " screen=" << c.w << "x" << c.h;
}

class FrameProperty : public ProgramFolderTest {};

TEST_F(FrameProperty, RandomSettingsStayOnTheScreenWithLegalColours) {
    std::mt19937 rng(20261207);
    const int kCases = 120, kFrames = 200;
    for (int n = 0; n < kCases; n++) {
        settings_case c;
        for (int32_t &v : c.values) v = any_int32(rng);
        // The number of dots is the one value kept small, so the run stays fast;
        // refusing negative and huge counts is the set-up's own test.
        c.values[0] = int32_t(rng() % 5);
        c.seed = int32_t(rng());
        c.w = any_side(rng);
        c.h = any_side(rng);
        SCOPED_TRACE(testing::Message() << "case " << n << ": " << c);

        // Through the program's own writer and reader, as the dialog and the saver do.
        for (int k = 0; k < 8; k++) write_int_value(setting_keys[k].key, c.values[k]);
        reset_settings();
        ASSERT_EQ(setup_settings_and_arrays(c.seed, nullptr), 0);
        for (int k = 0; k < 8; k++)
            if (setting_keys[k].value != &dot_history) {
                ASSERT_EQ(*setting_keys[k].value, c.values[k]) << setting_keys[k].key;
            }
        const int32_t stored_history = c.values[1];
        ASSERT_EQ(dot_history, stored_history > 1024 ? 1024 : stored_history < 1 ? 1 : stored_history);
        setup_screen_and_dots(c.w, c.h);
        ASSERT_EQ(cx, c.w);
        ASSERT_EQ(cy, c.h);

        std::vector<uint32_t> fb;
        frame_buffer frame = {};
        const int32_t per_frame = dot_count * (dot_history + 2);
        for (int f = 0; f < kFrames; f++) {
            // Half-way the screen changes size (a monitor came or went).
            if (f == kFrames / 2) refit_field(any_side(rng), any_side(rng));
            if (f == 0 || f == kFrames / 2) {
                fb.assign(size_t(cx) * size_t(cy), 0);  // exact size: ASan sees any overrun
                deinit_present_tiles(&frame);
                frame = {fb.data(), cx, cy, 0, 0, dirty_dot, 0, nullptr, {}};
                ASSERT_EQ(init_present_tiles(&frame, cx, cy), 0);  // frames may go by tiles
                frame.tiles.list_room = INT32_MAX;  // every place listed, to be checked
                memory_screen_reset(cx, cy);
            }
            std::fill(fb.begin(), fb.end(), untouched);
            render(memory_screen(), &frame);
            ASSERT_EQ(frame.dirty_dot_index, per_frame) << "frame " << f;
            std::vector<char> touched(fb.size());
            for (int32_t k = 0; k < frame.dirty_dot_index; k++) {
                const dirty_pixels p = dirty_dot[k];
                ASSERT_TRUE(p.x >= 0 && p.x < cx && p.y >= 0 && p.y < cy)
                    << "pixel " << p.x << "," << p.y << " frame " << f;
                touched[size_t(p.y) * size_t(cx) + size_t(p.x)] = 1;
            }
            for (size_t at = 0; at < fb.size(); at++) {
                const uint32_t v = fb[at];
                if (!touched[at]) {
                    ASSERT_EQ(v, untouched) << "unrecorded write at " << at << " frame " << f;
                    continue;
                }
                // A component outside 0..255 carries into its neighbour or the top
                // byte; a fade never brightens, so some dot has every component at
                // least as bright as this pixel.
                ASSERT_EQ(v >> 24, 0u) << std::hex << v;
                bool some_dot_as_bright = false;
                for (int32_t i = 0; i < dot_count; i++)
                    some_dot_as_bright |= int(v & 0xFF) <= dot[i].r &&
                                          int(v >> 8 & 0xFF) <= dot[i].g &&
                                          int(v >> 16 & 0xFF) <= dot[i].b;
                ASSERT_TRUE(some_dot_as_bright) << std::hex << v << " frame " << f;
                ASSERT_EQ(memory_screen_pixels()[at], v) << "presented " << at;
            }
            for (int32_t i = 0; i < dot_count; i++) {
                const plix &d = dot[i];
                ASSERT_TRUE(d.x >= 0 && d.x <= float(cx - 1) && d.y >= 0 && d.y <= float(cy - 1))
                    << "dot " << i << " at " << d.x << "," << d.y << " frame " << f;
                ASSERT_TRUE(std::isfinite(d.xv) && std::isfinite(d.yv))
                    << "dot " << i << " speed " << d.xv << "," << d.yv;
            }
        }
        for (int32_t i = 0; i < dot_count; i++) {
            ASSERT_TRUE(dot[i].r >= 0 && dot[i].r <= 255 && dot[i].g >= 0 && dot[i].g <= 255 &&
                        dot[i].b >= 0 && dot[i].b <= 255);
        }
        deinit_present_tiles(&frame);
        free_dots();
    }
}

// Every fade render can ask for, for every trail length: within 0..c, so a
// trail point is never brighter than its dot and never negative.
TEST(FadeProperty, EveryAgeOfEveryTrailLengthStaysWithinTheComponent) {
    const float saved = dot_fade;
    std::vector<int32_t> lengths;
    for (int32_t h = 1; h <= 16; h++) lengths.push_back(h);
    for (int32_t h = 17; h < dot_historyy; h += 37) lengths.push_back(h);
    lengths.insert(lengths.end(), {1000, 1023, 1024});
    for (int32_t history : lengths) {
        dot_history = history;
        set_dot_fade();
        for (int32_t c = 0; c <= 255; c++) {
            for (int32_t age = 1; age <= history; age++) {
                const int32_t v = fade_component(c, age);
                ASSERT_TRUE(v >= 0 && v <= c) << "c " << c << " age " << age << " history " << history;
            }
            ASSERT_EQ(fade_component(c, history), 0) << "the oldest point is black";
        }
    }
    dot_fade = saved;
    dot_history = 0;
}

}  // namespace
