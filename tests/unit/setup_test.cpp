// The random source and the saver's set-up: draws, clamps, allocations, dots.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "platform/native/native.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "startup/scrmode.h"
#include "test_support.h"

namespace {

TEST(Rnd, SeedOneGivesTheKnownSequence) {
    rand_seed = 1;
    const int expected[] = {16838, 5759, 10113, 17516, 31052, 5628};
    for (int e : expected) EXPECT_EQ(rnd(), e);
}

TEST(Rnd, DividesTowardZeroForNegativeStates) {
    // From seed 1 the states are 1103527590, then -1770082073.
    rand_seed = 1;
    rnd();
    EXPECT_EQ(rand_seed, 1103527590);
    // An arithmetic shift would give 5758 here.
    EXPECT_EQ(rnd(), 5759);
    EXPECT_EQ(rand_seed, -1770082073);
}

TEST(Rnd, WrapsWithoutOverflowAtTheExtremes) {
    for (int32_t seed : {INT_MIN, INT_MAX, -1, 0}) {
        rand_seed = seed;
        int v = rnd();
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 32767);
        EXPECT_EQ(rand_seed, int32_t(uint32_t(seed) * 1103515245u + 12345u));
    }
}

TEST(Clamp, TrailLengthStaysWithinOneAnd1024) {
    struct {
        int32_t stored, used;
    } cases[] = {{0, 1}, {-5, 1}, {INT_MIN, 1}, {1, 1}, {3, 3}, {1024, 1024}, {1025, 1024},
                 {5000, 1024}, {INT_MAX, 1024}};
    for (auto c : cases) {
        dot_history = c.stored;
        clamp_dot_history();
        EXPECT_EQ(dot_history, c.used) << c.stored;
    }
}

TEST(Fade, IsTheSinglePrecisionQuotient) {
    struct {
        int32_t history;
        float fade;
    } cases[] = {{1, 256.0f}, {3, 85.33333587646484f}, {6, 42.66666793823242f}, {1024, 0.25f}};
    for (auto c : cases) {
        dot_history = c.history;
        set_dot_fade();
        EXPECT_EQ(dot_fade, c.fade) << c.history;
    }
}

TEST(ScreenSize, KeepsEveryPositionDrawable) {
    struct {
        int w, h, cx, cy;
    } cases[] = {{1024, 768, 1024, 768}, {0, 0, 1, 1}, {-3, 5, 1, 5}, {40000, 1, 32767, 1}};
    for (auto c : cases) {
        set_screen_size(c.w, c.h);
        EXPECT_EQ(cx, c.cx);
        EXPECT_EQ(cy, c.cy);
    }
}

TEST(DirtyCapacity, IsCountTimesTrailPlusTwo) {
    EXPECT_EQ(dirty_capacity(2, 4), 12);
    EXPECT_EQ(dirty_capacity(0, 1024), 0);
    EXPECT_LT(dirty_capacity(-1, 4), 0);
    // A frame counts its entries in 32 bits: one entry more than that is refused.
    EXPECT_EQ(dirty_capacity(INT_MAX / 3, 1), int64_t(INT_MAX / 3) * 3);
    EXPECT_LT(dirty_capacity(INT_MAX / 3 + 1, 1), 0);
    EXPECT_EQ(dirty_capacity(1, INT_MAX - 2), INT_MAX);
    EXPECT_LT(dirty_capacity(INT_MAX, 1024), 0);
}

class Allocation : public testing::Test {
protected:
    void TearDown() override { free_dots(); }
};

TEST_F(Allocation, ZeroDotsIsNoFailure) {
    dot_count = 0;
    dot_history = 1;
    EXPECT_EQ(alloc_dots(), 0);
    EXPECT_NE(dot, nullptr);
    EXPECT_NE(dot_trails, nullptr);
    EXPECT_NE(dirty_dot, nullptr);
}

// Each dot's whole trail is its own: writing every point of every trail leaves
// each as written (an overlap shows here, a block too short under the sanitizer).
TEST_F(Allocation, EveryDotHasATrailOfItsOwn) {
    struct {
        int32_t count, history;
    } cases[] = {{1, 1}, {7, 64}, {1000, 1024}};
    for (auto [count, history] : cases) {
        dot_count = count;
        dot_history = history;
        ASSERT_EQ(alloc_dots(), 0) << count << " dots, trail " << history;
        for (int32_t i = 0; i < count; i++)
            for (int32_t k = 0; k < history; k++) dot[i].hist[k] = {int16_t(i), int16_t(k)};
        int wrong = 0;
        for (int32_t i = 0; i < count; i++)
            for (int32_t k = 0; k < history; k++)
                wrong += dot[i].hist[k].x != i || dot[i].hist[k].y != k;
        EXPECT_EQ(wrong, 0) << count << " dots, trail " << history;
        free_dots();
    }
}

TEST_F(Allocation, NegativeOrUnrepresentableCountsFail) {
    dot_history = 1024;
    for (int32_t count : {-1, INT_MIN}) {
        dot_count = count;
        EXPECT_EQ(alloc_dots(), 1) << count;
        free_dots();
    }
}

TEST_F(Allocation, NoBlockIsLargerThanA32BitProgramCanHave) {
    // The dirty list of 261,632 dots of trail 1024 (8,208 bytes each) fits in
    // 2 GiB; of 261,633 it does not, in any build. Their trails take half as much.
    struct {
        int32_t count, history;
        int result;
    } cases[] = {{261632, 1024, 0}, {261633, 1024, 1}, {INT_MAX, 1, 1}, {2000000000, 1024, 1},
                 {1000, 1024, 0}};
    for (auto c : cases) {
        dot_count = c.count;
        dot_history = c.history;
        EXPECT_EQ(alloc_dots(), c.result) << c.count << " dots, trail " << c.history;
        free_dots();
    }
}

// A full set-up through the stand-in platform.
class Setup : public ProgramFolderTest {
protected:
    void SetUp() override {
        ProgramFolderTest::SetUp();
        native_set_tick_count(1);
        native_set_screen_size(1024, 768);
        hWnd = nullptr;
    }
    void TearDown() override {
        free_dots();
        ProgramFolderTest::TearDown();
    }
    void settings(const std::string &body) { write_ini("[Plix]\r\n" + body); }
    // As the saver starts: owned by hWnd, a field the size of the virtual screen.
    int setup() {
        screen_rect v = plat_virtual_screen();
        return saver_setup(nullptr, hWnd, v.width, v.height);
    }
};

TEST_F(Setup, CentreStartsPutEveryDotAndTrailPointInTheMiddle) {
    settings("dot_count=3\r\ndot_history=4\r\n");
    ASSERT_EQ(setup(), 0);
    EXPECT_EQ(cx, 1024);
    EXPECT_EQ(cy, 768);
    EXPECT_EQ(dot_fade, 64.0f);
    // Seed 1: colours take the first nine draws in r, g, b order per dot.
    const int draws[] = {16838, 5759, 10113, 17516, 31052, 5628};
    EXPECT_EQ(dot[0].r, draws[0] % 256);
    EXPECT_EQ(dot[0].g, draws[1] % 256);
    EXPECT_EQ(dot[0].b, draws[2] % 256);
    EXPECT_EQ(dot[1].r, draws[3] % 256);
    EXPECT_EQ(dot[1].g, draws[4] % 256);
    EXPECT_EQ(dot[1].b, draws[5] % 256);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(dot[i].x, 512.0f);
        EXPECT_EQ(dot[i].y, 384.0f);
        EXPECT_EQ(dot[i].xv, 0.0f);
        EXPECT_EQ(dot[i].yv, 0.0f);
        for (int h = 0; h < 4; h++) {
            EXPECT_EQ(dot[i].hist[h].x, 512);
            EXPECT_EQ(dot[i].hist[h].y, 384);
        }
    }
    EXPECT_TRUE(native_message_boxes().empty());
}

TEST_F(Setup, OddWidthHalvesByTruncation) {
    settings("dot_count=1\r\n");
    native_set_screen_size(1023, 767);
    ASSERT_EQ(setup(), 0);
    EXPECT_EQ(dot[0].x, 511.0f);
    EXPECT_EQ(dot[0].y, 383.0f);
    EXPECT_EQ(dot_history, 1);  // missing key: 0, clamped to 1
}

TEST_F(Setup, RandomStartsDrawXAndYAfterTheColour) {
    settings("dot_count=2\r\ndot_history=2\r\nstarting_pos=1\r\n");
    native_set_screen_size(100, 50);
    ASSERT_EQ(setup(), 0);
    rand_seed = 1;
    for (int i = 0; i < 2; i++) {
        int r = rnd() % 256, g = rnd() % 256, b = rnd() % 256;
        int sx = rnd() % 100, sy = rnd() % 50;
        EXPECT_EQ(dot[i].r, r);
        EXPECT_EQ(dot[i].g, g);
        EXPECT_EQ(dot[i].b, b);
        EXPECT_EQ(dot[i].x, float(sx));
        EXPECT_EQ(dot[i].y, float(sy));
        EXPECT_EQ(dot[i].hist[1].x, sx);
        EXPECT_EQ(dot[i].hist[1].y, sy);
    }
    // The first two dots of seed 1: colours 16838, 5759, 10113 then x = 17516 % 100.
    EXPECT_EQ(dot[0].x, 16.0f);
    EXPECT_EQ(dot[0].y, 2.0f);  // 31052 % 50
}

TEST_F(Setup, RandomStartsStayOnTheScreen) {
    settings("dot_count=2000\r\nstarting_pos=1\r\n");
    native_set_screen_size(37, 11);
    native_set_tick_count(-123456789);
    ASSERT_EQ(setup(), 0);
    for (int i = 0; i < 2000; i++) {
        ASSERT_GE(dot[i].x, 0.0f);
        ASSERT_LT(dot[i].x, 37.0f);
        ASSERT_GE(dot[i].y, 0.0f);
        ASSERT_LT(dot[i].y, 11.0f);
        for (int16_t c : {dot[i].r, dot[i].g, dot[i].b}) {
            ASSERT_GE(c, 0);
            ASSERT_LE(c, 255);
        }
    }
}

TEST_F(Setup, AHeadlessScreenOfZeroPixelsIsUsable) {
    settings("dot_count=5\r\nstarting_pos=1\r\n");
    native_set_screen_size(0, 0);
    ASSERT_EQ(setup(), 0);
    EXPECT_EQ(dot[4].x, 0.0f);
    EXPECT_EQ(dot[4].y, 0.0f);
}

TEST_F(Setup, TrailLengthIsClampedAfterLoading) {
    settings("dot_count=1\r\ndot_history=5000\r\n");
    ASSERT_EQ(setup(), 0);
    EXPECT_EQ(dot_history, 1024);
    EXPECT_EQ(dot_fade, 0.25f);
}

TEST_F(Setup, OutOfMemoryShowsTheBoxOwnedByTheWindowAndFails) {
    settings("dot_count=-1\r\n");
    hWnd = reinterpret_cast<plat_window>(intptr_t(4321));
    EXPECT_EQ(setup(), 1);
    EXPECT_EQ(native_message_boxes(),
              "Out of memory|Sorry, there isn't enough memory to run the screensaver.\r\n"
              "Try specifying fewer Plix or shorter trails in the configuration.|4321\n");
    EXPECT_EQ(dot, nullptr);
    EXPECT_EQ(dirty_dot, nullptr);
}

// One dot of trail 3 in a 1024 x 768 field, refitted: where its head and trail
// end up. Colour and speed always stay, and nothing is drawn from rnd.
TEST_F(Allocation, RefitKeepsWhatFitsAndBringsTheRestInside) {
    struct {
        int w, h;
        float x, y;
        history trail[3];
        float want_x, want_y;
        history want[3];
    } cases[] = {
        // Grown: untouched.
        {1280, 1024, 1000.5f, 700.25f, {{1000, 700}, {999, 699}, {998, 698}},
         1000.5f, 700.25f, {{1000, 700}, {999, 699}, {998, 698}}},
        // Outside: back by a whole width, the trail with it.
        {800, 600, 1000.5f, 500.0f, {{1000, 500}, {999, 500}, {998, 500}}, 200.5f, 500.0f,
         {{200, 500}, {199, 500}, {198, 500}}},
        // Back by a height; the trail points left behind go to the edge.
        {800, 600, 5.0f, 601.75f, {{5, 601}, {5, 599}, {5, 598}}, 5.0f, 1.75f,
         {{5, 1}, {5, 0}, {5, 0}}},
        // Inside by its pixel, but its fraction passes the last column.
        {800, 600, 799.5f, 0.0f, {{799, 0}, {800, 0}, {801, 0}}, 799.0f, 0.0f,
         {{799, 0}, {799, 0}, {799, 0}}},
        // Several sizes away, and a field of one pixel.
        {300, 200, 1023.0f, 767.0f, {{1023, 767}, {1020, 760}, {610, 610}}, 123.0f, 167.0f,
         {{123, 167}, {120, 160}, {0, 10}}},
        {1, 1, 1023.0f, 5.0f, {{1023, 5}, {0, 0}, {4, 4}}, 0.0f, 0.0f, {{0, 0}, {0, 0}, {0, 0}}},
    };
    dot_count = 1;
    dot_history = 3;
    ASSERT_EQ(alloc_dots(), 0);
    for (const auto &c : cases) {
        set_screen_size(1024, 768);
        plix &d = dot[0];
        d.r = 200, d.g = 100, d.b = 50, d.xv = -1.5f, d.yv = 2.0f;
        d.x = c.x, d.y = c.y;
        for (int h = 0; h < 3; h++) d.hist[h] = c.trail[h];
        rand_seed = 77;
        refit_field(c.w, c.h);
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " from " << c.x << "," << c.y);
        EXPECT_TRUE(cx == c.w && cy == c.h && d.x == c.want_x && d.y == c.want_y)
            << cx << "x" << cy << " at " << d.x << "," << d.y;
        for (int h = 0; h < 3; h++)
            EXPECT_TRUE(d.hist[h].x == c.want[h].x && d.hist[h].y == c.want[h].y)
                << h << ": " << d.hist[h].x << "," << d.hist[h].y;
        EXPECT_TRUE(d.r == 200 && d.g == 100 && d.b == 50 && d.xv == -1.5f && d.yv == 2.0f);
        EXPECT_EQ(rand_seed, 77);
    }
}

}  // namespace
