// The frame step and the frame buffer: draw order and colours, fading, speeds,
// limits, screen edges, the dirty list and the presentation.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "framebuf/framebuf.h"
#include "platform/memory/memory_screen.h"
#include "platform/native/native.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"

namespace {

constexpr uint32_t untouched = 0xAB000000u;  // no pixel store of a legal colour makes this
const float inf = std::numeric_limits<float>::infinity();
const float nan_value = std::numeric_limits<float>::quiet_NaN();

struct point {
    int x, y;
    bool operator==(const point &o) const { return x == o.x && y == o.y; }
};
struct rgb {
    int r, g, b;
};
uint32_t packed(rgb c) { return uint32_t(c.r + c.g * 256 + c.b * 65536); }

class Render : public testing::Test {
protected:
    void SetUp() override {
        reset_settings();
        native_reset();
        rand_seed = 12345;
    }
    void TearDown() override {
        free_dots();
        deinit_present_tiles(&frame_);
    }

    // A w x h screen of `count` dots with `history` trail points; the frame
    // buffer starts with a value no pixel store can produce.
    void field(int w, int h, int32_t count, int32_t history) {
        cx = w;
        cy = h;
        dot_count = count;
        dot_history = history;
        set_dot_fade();
        ASSERT_EQ(alloc_dots(), 0);
        picture(w, h, 0, 0);
        memory_screen_reset(w, h);
    }
    // The frame buffer: a w x h picture with its tiles, the field at (ox, oy),
    // listing every pixel's place, which the tests read.
    void picture(int w, int h, int ox, int oy) {
        fb_.assign(size_t(w) * size_t(h), untouched);
        deinit_present_tiles(&frame_);
        frame_ = {fb_.data(), w, h, ox, oy, dirty_dot, 0, nullptr, {}};
        ASSERT_EQ(init_present_tiles(&frame_, w, h), 0);
        frame_.tiles.list_room = INT32_MAX;
    }
    // Dot i with a colour, position, speed and trail (hist[0] first).
    void place(int i, rgb c, float x, float y, float xv, float yv, std::vector<point> trail) {
        plix &d = dot[i];
        d.r = int16_t(c.r);
        d.g = int16_t(c.g);
        d.b = int16_t(c.b);
        d.x = x;
        d.y = y;
        d.xv = xv;
        d.yv = yv;
        for (size_t k = 0; k < trail.size(); k++)
            d.hist[k] = {int16_t(trail[k].x), int16_t(trail[k].y)};
    }
    void frame() { render(memory_screen(), &frame_); }
    uint32_t fb_at(point p) const { return fb_[size_t(p.y) * size_t(cx) + size_t(p.x)]; }
    uint32_t screen_at(point p) const {
        return memory_screen_pixels()[size_t(p.y) * size_t(cx) + size_t(p.x)];
    }
    std::vector<point> recorded() const {
        std::vector<point> out;
        for (int32_t k = 0; k < frame_.dirty_dot_index; k++)
            out.push_back({frame_.dirty_dot[k].x, frame_.dirty_dot[k].y});
        return out;
    }

    std::vector<uint32_t> fb_;
    frame_buffer frame_ = {};
};

TEST(Fade, MatchesTheSinglePrecisionStep) {
    struct {
        int32_t history, component, age, faded;
    } cases[] = {
        {3, 200, 2, 29},  {3, 200, 1, 114}, {3, 100, 1, 14}, {3, 100, 2, 0},
        // 200 - 3 * 42.666668 is just below 72: the float step, not 256/6.
        {6, 200, 3, 71},  {6, 200, 1, 157}, {6, 100, 1, 57}, {6, 50, 1, 7},
        {6, 200, 4, 29},  {6, 200, 5, 0},   {1, 255, 1, 0},  {1024, 255, 1016, 1},
        {1024, 255, 1017, 0}, {1024, 0, 1, 0}, {1024, 255, 1, 254},
    };
    for (auto c : cases) {
        dot_history = c.history;
        set_dot_fade();
        EXPECT_EQ(fade_component(c.component, c.age), c.faded)
            << "history " << c.history << " component " << c.component << " age " << c.age;
    }
}

TEST(Fade, TheOldestPointIsAlwaysBlack) {
    for (int32_t h = 1; h <= dot_historyy; h++) {
        dot_history = h;
        set_dot_fade();
        ASSERT_EQ(fade_component(255, h), 0) << h;
    }
}

// render takes the fade through one ceil(age * dot_fade) per age; it must give
// exactly the truncated double-precision difference, for every trail length,
// age and component value.
TEST(Fade, StepFormEqualsTheTruncatedDifferenceEverywhere) {
    for (int32_t h = 1; h <= dot_historyy; h++) {
        dot_history = h;
        set_dot_fade();
        for (int32_t age = 1; age <= h; age++) {
            uint32_t cut = fade_cut(fade_step(age));
            for (int32_t c = 0; c <= 255; c++) {
                // The component in each byte, beside others that must not disturb it.
                uint32_t want = uint32_t(fade_component(c, age));
                uint32_t got = faded_colour(uint32_t(c) | uint32_t(255 - c) << 8 | uint32_t(c) << 16, cut);
                if ((got & 0xFF) != want || got >> 16 != want ||
                    (got >> 8 & 0xFF) != uint32_t(fade_component(255 - c, age)))
                    FAIL() << "history " << h << " age " << age << " component " << c;
            }
        }
    }
}

// Pixel order and colours of one dot in one frame. The speed limit -3 forces
// both speeds to +3, so the head lands away from the trail.
TEST_F(Render, DrawsTrailBlackTailNewestPointAndHeadInOrder) {
    struct step {
        point at;
        rgb colour;
    };
    struct {
        int32_t history;
        rgb colour;
        std::vector<point> trail;
        std::vector<step> expected;
    } cases[] = {
        {1, {200, 100, 50}, {{1, 1}},
         {{{1, 1}, {0, 0, 0}}, {{5, 6}, {0, 0, 0}}, {{8, 9}, {200, 100, 50}}}},
        {3, {200, 100, 0}, {{1, 1}, {2, 2}, {3, 3}},
         {{{2, 2}, {0, 0, 0}},
          {{1, 1}, {29, 0, 0}},
          {{2, 2}, {0, 0, 0}},
          {{5, 6}, {114, 14, 0}},
          {{8, 9}, {200, 100, 0}}}},
        {6, {200, 100, 50}, {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}},
         {{{5, 5}, {0, 0, 0}},
          {{4, 4}, {0, 0, 0}},
          {{3, 3}, {29, 0, 0}},
          {{2, 2}, {71, 0, 0}},
          {{1, 1}, {114, 14, 0}},
          {{5, 5}, {0, 0, 0}},
          {{5, 6}, {157, 57, 7}},
          {{8, 9}, {200, 100, 50}}}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.history);
        field(20, 20, 1, c.history);
        speed_limit = -3;
        place(0, c.colour, 5.7f, 6.2f, 0, 0, c.trail);
        frame();
        std::vector<point> order;
        for (auto &s : c.expected) order.push_back(s.at);
        ASSERT_EQ(recorded(), order);
        for (auto &s : c.expected) {
            EXPECT_EQ(fb_at(s.at), packed(s.colour)) << s.at.x << "," << s.at.y;
            EXPECT_EQ(screen_at(s.at), packed(s.colour)) << s.at.x << "," << s.at.y;
        }
        for (int k = 0; k < c.history; k++) {
            point want = k == 0 ? point{5, 6} : c.trail[k - 1];
            EXPECT_EQ(dot[0].hist[k].x, want.x) << k;
            EXPECT_EQ(dot[0].hist[k].y, want.y) << k;
        }
        free_dots();
    }
    // Long trails, odd and even, on both sides of the drawing loop's unrolling:
    // the same order, oldest aged point first.
    for (int32_t history : {17, 18, 19, 20, 41, 64}) {
        SCOPED_TRACE(history);
        field(64, 64, 1, history);
        speed_limit = -3;
        std::vector<point> trail, order;
        for (int k = 0; k < history; k++) trail.push_back({k % 60, 20 + k / 60});
        place(0, {200, 100, 50}, 5.7f, 6.2f, 0, 0, trail);
        frame();
        for (int k = history - 2; k >= 0; k--) order.push_back(trail[k]);
        if (history > 1) order.push_back(trail[history - 2]);
        order.push_back({5, 6});
        order.push_back({8, 9});
        ASSERT_EQ(recorded(), order);
        free_dots();
    }
}

// The oldest point is drawn after the aged points but before the newest point
// and the head, so it wins over the former only.
TEST_F(Render, BlackTailBeatsAgedPointsButNotTheNewestOne) {
    field(20, 20, 1, 4);
    speed_limit = 0;  // pins the dot at (7, 7)
    // After ageing: hist[3] = (2, 2), hist[2] = (2, 2), hist[1] = (7, 7).
    place(0, {250, 250, 250}, 7.5f, 7.5f, 0, 0, {{7, 7}, {2, 2}, {2, 2}, {9, 9}});
    frame();
    EXPECT_EQ(fb_at({2, 2}), 0u);
    EXPECT_EQ(fb_at({7, 7}), packed({250, 250, 250}));
    EXPECT_EQ(screen_at({7, 7}), packed({250, 250, 250}));
}

TEST_F(Render, NewestTrailPointBeatsTheBlackTail) {
    field(20, 20, 1, 3);
    speed_limit = -3;  // the head moves on to (8, 9)
    // After ageing the oldest point hist[2] is (5, 6), where hist[0] lands too.
    place(0, {200, 100, 0}, 5.7f, 6.2f, 0, 0, {{1, 1}, {5, 6}, {3, 3}});
    frame();
    EXPECT_EQ(fb_at({5, 6}), packed({114, 14, 0}));
    EXPECT_EQ(screen_at({5, 6}), packed({114, 14, 0}));
}

TEST_F(Render, AStationaryDotShowsOnlyItsHead) {
    field(16, 16, 1, 8);
    speed_limit = 0;
    place(0, {10, 20, 30}, 4.0f, 9.0f, 0, 0, std::vector<point>(8, {4, 9}));
    for (int f = 0; f < 3; f++) {
        frame();
        for (point p : recorded()) EXPECT_EQ(p, (point{4, 9}));
        EXPECT_EQ(screen_at({4, 9}), packed({10, 20, 30}));
    }
}

TEST_F(Render, TheHigherIndexWinsWhereDotsOverlap) {
    // Dot A's head sits on dot B's oldest point; whichever comes later wins.
    for (int a : {0, 1}) {
        SCOPED_TRACE(a);
        field(20, 20, 2, 2);
        speed_limit = 0;
        int b = 1 - a;
        place(a, {1, 2, 3}, 5.0f, 5.0f, 0, 0, {{5, 5}, {5, 5}});
        place(b, {9, 9, 9}, 12.0f, 12.0f, 0, 0, {{5, 5}, {12, 12}});
        frame();
        uint32_t want = a > b ? packed({1, 2, 3}) : 0u;
        EXPECT_EQ(fb_at({5, 5}), want);
        EXPECT_EQ(screen_at({5, 5}), want);
        free_dots();
    }
}

// Tiles still marked: the next frame would copy them again.
long marks_left(const frame_buffer &fb) {
    const present_tiles &t = fb.tiles;
    return std::count_if(t.marks, t.marks + t.tiles_x * t.tiles_y, [](uint8_t m) { return m != 0; });
}

// Costs under which `way` is the cheapest whatever the frame.
present_costs favouring(present_way way) {
    const double no = 1e12;
    if (way == by_pixels) return {0, no, no, no, no, no, no};
    if (way == by_bounds) return {no, 0, 0, no, no, no, no};
    return {no, no, no, 0, 0, 0, 0};
}

// Once the first paint has shown the whole picture, the three ways of presenting
// a frame leave the same screen, equal to the picture everywhere: from black,
// and from a captured screen to eat into (chow); in the frame buffer's order, and
// in the canvas's (R G B A bytes, opaque).
TEST_F(Render, EveryWayOfPresentingShowsTheSameScreen) {
    for (int run = 0; run < 4; run++) {
        const bool chow_picture = run % 2, canvas = run / 2;
        field(83, 50, 7, 12);  // tiles cut short at the right and bottom edges
        if (canvas) memory_screen_reset(83, 50, screen_order::canvas);
        SCOPED_TRACE(std::string(chow_picture ? "chow" : "black") + (canvas ? ", canvas order" : ""));
        ASSERT_EQ(memory_screen_pixels()[83 * 50 - 1], canvas ? 0xFF000000u : 0u) << "black";
        starting_pos = 1;
        init_dots();
        for (size_t k = 0; k < fb_.size(); k++)
            fb_[k] = chow_picture ? uint32_t(k * 2654435761u) & 0xFFFFFFu : 0u;
        // The picture as the screen holds it: in the canvas's order, bytes as putImageData reads them.
        const auto as_shown = [&] {
            std::vector<uint32_t> v(fb_);
            if (canvas)
                for (uint32_t &p : v) {
                    const uint8_t rgba[4] = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), 255};
                    memcpy(&p, rgba, 4);
                }
            return v;
        };
        present_whole(memory_screen(), &frame_);
        uint32_t *screen = memory_screen_pixels();
        ASSERT_TRUE(std::equal(screen, screen + fb_.size(), as_shown().begin()));
        std::vector<uint32_t> shown[3];
        for (auto &v : shown) v.assign(screen, screen + fb_.size());
        for (int f = 0; f < 30; f++) {
            ASSERT_EQ(render_dots(&frame_), 0);
            for (int k = 0; k < 3; k++) {
                // Each way in turn goes first, taking the tiles the frame step
                // marked; the others find them by the list.
                const present_way way = present_way((f + k) % 3);
                std::copy(shown[way].begin(), shown[way].end(), screen);
                const present_plan plan = plan_presentation(&frame_, favouring(way));
                ASSERT_EQ(plan.way, way);
                present_frame_as(memory_screen(), &frame_, plan);
                shown[way].assign(screen, screen + fb_.size());
                ASSERT_EQ(shown[way], as_shown()) << "frame " << f << " way " << way;
                ASSERT_EQ(marks_left(frame_), 0);
            }
        }
        // Lists cut short, as the running program's are in large frames: never one
        // by one, the same screen by the marks, the whole picture when planned again.
        frame_.tiles.list_room = 5;
        for (int f = 0; f < 6; f++) {
            ASSERT_EQ(render_dots(&frame_), 0);
            const present_way way = present_way(f % 3);
            present_plan plan = plan_presentation(&frame_, favouring(way));
            ASSERT_TRUE(way == by_pixels ? plan.way != by_pixels : plan.way == way) << plan.way;
            present_frame_as(memory_screen(), &frame_, plan);
            ASSERT_TRUE(std::equal(screen, screen + fb_.size(), as_shown().begin())) << "frame " << f;
            plan = plan_presentation(&frame_, favouring(by_pixels));
            ASSERT_TRUE(plan.way == by_bounds && plan.bounds.right == 83 && plan.bounds.bottom == 50 &&
                        plan.bounds.left == 0 && plan.bounds.top == 0);
        }
        free_dots();
    }
}

// Few pixels go one by one, and pixels far apart too; pixels that lie close go
// as the one rectangle that holds them all, and clusters far apart as their
// tiles: each case a step either side of a break-even. Costs in round numbers on
// a 1020 x 760 picture (tiles of 16, the last ones 12 wide and 8 high).
TEST(Present, PlanTakesTheCheapestWay) {
    const present_costs costs = {1000, 3000, 1, 5000, 500, 200, 1};
    auto times = [](int n, std::vector<dirty_pixels> at) {
        std::vector<dirty_pixels> v;
        for (const dirty_pixels &p : at) v.insert(v.end(), size_t(n), p);
        return v;
    };
    std::vector<dirty_pixels> seven = times(4, {{0, 0}}), column_and_corner = {{1019, 759}};
    seven.insert(seven.end(), 3, {1019, 759});
    for (int y = 0; y < 48; y++) column_and_corner.push_back({5, y});
    // Runs of tiles longer than eight, a pixel a tile: 21 in two rows (one
    // rectangle), a whole row of 64, and the corner's.
    std::vector<dirty_pixels> long_runs = {{1019, 759}};
    for (int32_t x = 0; x < 1020; x += 16) {
        if (x < 336) long_runs.insert(long_runs.end(), {{x, 5}, {x, 20}});
        long_runs.push_back({x, 700});
    }
    struct {
        std::vector<dirty_pixels> list;
        present_way way;
        pixel_rect bounds;
        int32_t rects;
        double area;  // by_tiles: what the rectangles cover
    } cases[] = {
        {{}, by_pixels, {}, 0, 0},
        {times(3, {{10, 10}}), by_pixels, {}, 0, 0},  // 3000: no more than a rectangle's fixed cost
        {{{10, 10}, {11, 10}, {10, 12}, {11, 11}}, by_bounds, {10, 10, 12, 13}, 0, 0},  // 3006 < 4000
        // Two tiles: 5000 + 2 * 500 + 2 * 2 * 200 + 16 * 16 + 12 * 8 = 7152.
        {seven, by_pixels, {}, 0, 0},
        {times(4, {{0, 0}, {1019, 759}}), by_tiles, {0, 0, 1020, 760}, 2, 352},
        // Against 7312 for two whole tiles: 3000 + 65 * 65, then 3000 + 66 * 66.
        {times(4, {{0, 0}, {64, 64}}), by_bounds, {0, 0, 65, 65}, 0, 0},
        {times(4, {{0, 0}, {65, 65}}), by_tiles, {0, 0, 80, 80}, 2, 512},
        {column_and_corner, by_tiles, {0, 0, 1020, 760}, 2, 864},  // three tiles of the column as one
        {long_runs, by_tiles, {0, 0, 1020, 760}, 3, 336 * 32 + 1020 * 16 + 12 * 8},
    };
    for (auto &c : cases) {
        frame_buffer fb = {nullptr, 1020, 760, 0, 0, c.list.data(), int32_t(c.list.size()), nullptr, {}};
        ASSERT_EQ(init_present_tiles(&fb, 1020, 760), 0);
        const present_plan plan = plan_presentation(&fb, costs);
        EXPECT_EQ(plan.way, c.way) << c.list.size() << " pixels";
        if (c.way != by_pixels) {
            EXPECT_EQ(plan.bounds.left, c.bounds.left);
            EXPECT_EQ(plan.bounds.top, c.bounds.top);
            EXPECT_EQ(plan.bounds.right, c.bounds.right);
            EXPECT_EQ(plan.bounds.bottom, c.bounds.bottom);
        }
        if (c.way == by_tiles) {
            EXPECT_EQ(plan.rect_count, c.rects);
            EXPECT_EQ(plan.area, c.area);
        }
        EXPECT_EQ(marks_left(fb), 0) << "marks left for the next frame";
        deinit_present_tiles(&fb);
    }
}

// Where the platform times its copies, the plan follows what they are seen to
// cost. Two pixels in opposite corners: by the table their two tiles cost 7152
// and the rectangle 1.3 times that. Each machine prices the tiles `seen` times
// the table, the rectangle as the table; after a run of frames, the tiles'
// share of 512 frames: a way within twice the one taken is tried once in
// meter_retry frames, one beyond never.
TEST(Present, MeteredPlanFollowsTheTimeSeen) {
    const present_costs table = {1e6, 0, 7152 * 1.3 / (1020.0 * 760), 5000, 500, 200, 1};
    std::vector<dirty_pixels> list = {{0, 0}, {1019, 759}};
    struct {
        double seen;
        int32_t tiles_in_512;
    } cases[] = {{1, 512 - 512 / meter_retry},  // the table's right: the rectangle retried
                 {1.8, 512 / meter_retry},      // the rectangle now, the tiles retried
                 {3, 0}};                       // beyond twice: the tiles left alone
    for (const auto &c : cases) {
        frame_buffer fb = {nullptr, 1020, 760, 0, 0, list.data(), 2, nullptr, {}};
        ASSERT_EQ(init_present_tiles(&fb, 1020, 760), 0);
        present_meter &meter = fb.tiles.meter;
        auto frame = [&](double spike) {
            const present_plan plan = plan_presentation(&fb, metered_costs(table, meter));
            const double unit = plan.way == by_tiles ? 7152 : plan.way == by_bounds ? 7152 * 1.3 : 2e6;
            meter_presentation(&meter, table, plan, &fb, unit * (plan.way == by_tiles ? c.seen : 1) * spike);
            return plan.way;
        };
        frame(1);  // the tiles first, by the table; what they took is taken whole
        EXPECT_NEAR(meter.scale[by_tiles], std::min(c.seen, 2.0), 1e-9);
        for (int f = 1; f < 2000; f++) frame(1);
        int32_t tiles = 0;
        for (int f = 0; f < 512; f++) tiles += frame(1) == by_tiles;
        EXPECT_EQ(tiles, c.tiles_in_512) << "tiles seen at " << c.seen;
        EXPECT_NEAR(meter.scale[by_bounds], 1, 1e-9);
        if (c.seen == 1) {
            // One frame held up a hundred times over moves the scale an eighth of
            // its doubling, and the plan stays; a clock gone wrong moves nothing.
            while (meter.frames % meter_retry >= meter_retry - 2) frame(1);
            const double was = meter.scale[by_tiles];
            EXPECT_EQ(frame(100), by_tiles);
            EXPECT_NEAR(meter.scale[by_tiles], was * 1.125, 1e-9);
            const present_meter before = meter;
            meter_presentation(&meter, table, {by_tiles, {0, 0, 1020, 760}, 2, 512}, &fb, -1);
            meter_presentation(&meter, table, {by_tiles, {0, 0, 1020, 760}, 2, 512}, &fb, NAN);
            EXPECT_EQ(meter.frames, before.frames);
            EXPECT_EQ(meter.scale[by_tiles], before.scale[by_tiles]);
            EXPECT_EQ(frame(1), by_tiles);
        }
        deinit_present_tiles(&fb);
    }
}

// Grids of 16 x 16 tiles for the scans of marks: sparse and dense at random,
// every tile, runs and gaps of every length and offset across the eight-mark
// words, and only the last column, 3 pixels wide.
struct tile_grid {
    int32_t w, h;
    bool (*marked)(int32_t tx, int32_t ty, uint32_t hash);
};
const tile_grid tile_grids[] = {
    {1020, 760, [](int32_t, int32_t, uint32_t r) { return r % 10 == 0; }},
    {1020, 760, [](int32_t, int32_t, uint32_t r) { return r % 10 < 7; }},
    {2003, 45, [](int32_t, int32_t, uint32_t) { return true; }},
    {2003, 733,
     [](int32_t x, int32_t y, uint32_t) { return (x + 3 * y) % (y % 23 + 2) <= y % 19; }},
    {2003, 760, [](int32_t x, int32_t, uint32_t) { return x == 125; }},
};
int32_t tiles_across(int32_t pixels) { return (pixels + 15) / 16; }
std::vector<uint8_t> grid_marks(const tile_grid &c) {
    const int32_t tiles_x = tiles_across(c.w), tiles_y = tiles_across(c.h);
    std::vector<uint8_t> marks(size_t(tiles_x) * size_t(tiles_y));
    for (int32_t ty = 0; ty < tiles_y; ty++)
        for (int32_t tx = 0; tx < tiles_x; tx++)
            marks[size_t(ty * tiles_x + tx)] =
                c.marked(tx, ty, uint32_t(tx * 2654435761u ^ ty * 40503u) >> 7);
    return marks;
}
pixel_rect tile_rect(const tile_grid &c, int32_t tx, int32_t ty) {
    return {tx * 16, ty * 16, std::min(c.w, tx * 16 + 16), std::min(c.h, ty * 16 + 16)};
}
// How many times `rects` cover each tile.
std::vector<uint8_t> times_covered(const tile_grid &c, const pixel_rect *rects, int32_t n) {
    const int32_t tiles_x = tiles_across(c.w);
    std::vector<uint8_t> times(size_t(tiles_x) * size_t(tiles_across(c.h)));
    for (const pixel_rect &r : std::vector<pixel_rect>(rects, rects + n))
        for (int32_t ty = r.top / 16; ty * 16 < r.bottom; ty++)
            for (int32_t tx = r.left / 16; tx * 16 < r.right; tx++)
                times[size_t(ty * tiles_x + tx)]++;
    return times;
}

// The merge's rectangles are the marked tiles, each once, whatever the pattern:
// runs across the eight marks read at once, at a row's ends, in the tiles the
// picture's edges cut. Given costs, it gives up exactly where its rectangles come
// to `most`, still clearing and bounding the marks; so a plan whose merge gives
// up takes the tiles exactly while they cost less than the bounds.
TEST(Present, MergeCoversTheMarkedTilesAndGivesUpOnlyWhereTheyLose) {
    const present_costs x11 = {1270, 1380, 0.19, 930, 52, 0.17, 0.19};
    for (const tile_grid &c : tile_grids) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        frame_buffer fb = {nullptr, c.w, c.h, 0, 0, nullptr, 0, nullptr, {}};
        ASSERT_EQ(init_present_tiles(&fb, c.w, c.h), 0);
        present_tiles &t = fb.tiles;
        const std::vector<uint8_t> marks = grid_marks(c);
        pixel_rect want = {c.w, c.h, 0, 0};  // the marked tiles' bounds
        double want_area = 0;
        for (int32_t ty = 0; ty < t.tiles_y; ty++)
            for (int32_t tx = 0; tx < t.tiles_x; tx++) {
                if (!marks[size_t(ty * t.tiles_x + tx)]) continue;
                const pixel_rect r = tile_rect(c, tx, ty);
                want_area += double(r.right - r.left) * (r.bottom - r.top);
                want = {std::min(want.left, r.left), std::min(want.top, r.top),
                        std::max(want.right, r.right), std::max(want.bottom, r.bottom)};
            }
        double area = 0;
        auto merge = [&](const present_costs *costs, double most) {
            std::copy(marks.begin(), marks.end(), t.marks);
            pixel_rect cover;
            const int32_t n = merge_dirty_tiles(&fb, {0, 0, c.w, c.h}, &area, &cover, costs, most);
            EXPECT_EQ(marks_left(fb), 0);
            EXPECT_TRUE(cover.left == want.left && cover.top == want.top &&
                        cover.right == want.right && cover.bottom == want.bottom);
            return n;
        };
        const int32_t n = merge(nullptr, 0);
        EXPECT_EQ(area, want_area);
        EXPECT_EQ(times_covered(c, t.rects, n), marks) << "each marked tile once";
        // The clipped copy's cost by the table, as present_costs describes it.
        const double cost =
            x11.rects_fixed + n * (x11.rects_each + n * x11.rects_pair) + area * x11.rects_pixel;
        EXPECT_EQ(merge(&x11, cost * (1 + 1e-12)), n);
        EXPECT_EQ(area, want_area);
        EXPECT_EQ(merge(&x11, cost), -1);
        EXPECT_EQ(merge(&x11, cost / 3), -1);  // the rows after only bounded
        // A frame the step marked, its list cut short: the bounds priced a hair
        // either side of the tiles.
        for (double side : {1 - 1e-9, 1 + 1e-9}) {
            std::copy(marks.begin(), marks.end(), t.marks);
            t.marked = true;
            t.list_room = 0;
            fb.dirty_dot_index = 1;
            present_costs priced = x11;
            priced.rect_fixed = 0;
            priced.rect_pixel =
                cost * side / (double(want.right - want.left) * (want.bottom - want.top));
            const present_plan plan = plan_presentation(&fb, priced);
            EXPECT_EQ(plan.way, side < 1 ? by_bounds : by_tiles) << side;
            EXPECT_EQ(plan.rect_count, side < 1 ? 0 : n);
            EXPECT_EQ(marks_left(fb), 0);
        }
        deinit_present_tiles(&fb);
    }
}

// The page's pieces: the tiles the copies touched, runs up to `gap` tiles apart
// in a row joined, each rectangle grown down over the rows below with a run of
// the same edges; with too little room, fewer and larger pieces still covering
// every touched tile once.
TEST(MemoryScreen, PiecesAreTheTouchedTilesWithTheirGapsJoined) {
    for (const tile_grid &c : tile_grids) {
        const std::vector<uint8_t> marks = grid_marks(c);
        const int32_t tiles_x = tiles_across(c.w), tiles_y = tiles_across(c.h);
        std::vector<uint32_t> pixels(size_t(c.w) * size_t(c.h));
        frame_buffer fb = {pixels.data(), c.w, c.h, 0, 0, nullptr, 0, nullptr, {}};
        std::vector<pixel_rect> out(marks.size());
        for (int32_t gap : {0, 1, 2, 7, 8, 9, 1000, INT32_MAX}) {
            SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << ", gap " << gap);
            // The joined runs of each row, as [first, end) tile pairs; a piece
            // begins where the row above has no run of the same edges.
            std::vector<uint8_t> want(marks.size());
            std::vector<std::pair<int32_t, int32_t>> above, here;
            int32_t want_count = 0;
            for (int32_t ty = 0; ty < tiles_y; ty++, above.swap(here)) {
                here.clear();
                for (int32_t tx = 0; tx < tiles_x; tx++) {
                    if (!marks[size_t(ty * tiles_x + tx)]) continue;
                    if (!here.empty() && tx - here.back().second <= gap)
                        here.back().second = tx + 1;
                    else
                        here.push_back({tx, tx + 1});
                }
                for (const auto &run : here) {
                    want_count += std::find(above.begin(), above.end(), run) == above.end();
                    std::fill_n(want.begin() + ty * tiles_x + run.first, run.second - run.first, 1);
                }
            }
            for (int32_t room : {int32_t(out.size()), std::max(1, want_count / 2)}) {
                ASSERT_TRUE(memory_screen_reset(c.w, c.h));
                for (int32_t ty = 0; ty < tiles_y; ty++)
                    for (int32_t tx = 0; tx < tiles_x; tx++) {
                        const pixel_rect r = tile_rect(c, tx, ty);
                        if (marks[size_t(ty * tiles_x + tx)])
                            plat_copy_rect(memory_screen(), &fb, r.left, r.top, r.right - r.left,
                                           r.bottom - r.top);
                    }
                const int32_t n = memory_screen_take_change_rects(gap, out.data(), room);
                const std::vector<uint8_t> times = times_covered(c, out.data(), n);
                if (room > want_count) {
                    EXPECT_EQ(n, want_count);
                    EXPECT_EQ(times, want);
                } else {
                    EXPECT_LE(n, room);
                    for (size_t k = 0; k < marks.size(); k++)
                        ASSERT_TRUE(times[k] == 1 || (times[k] == 0 && !marks[k])) << "tile " << k;
                }
                EXPECT_EQ(memory_screen_take_change_rects(gap, out.data(), room), 0) << "taken";
            }
        }
    }
}

// A long frame asks about every stop_check_interval pixels whether to go on, and
// when told to stop it stops drawing and shows nothing; a short frame never asks.
TEST_F(Render, ALongFrameStopsWhenTheFrontEndIsEnding) {
    static int asked, answer;
    struct {
        int32_t dots;
        int answer, want_asked;
        int32_t want_recorded;
    } cases[] = {
        {3, 1, 0, 3 * 1024},
        {200, 0, 3, 200 * 1024},
        {200, 1, 1, stop_check_interval},  // 64 dots of 1024 pixels, then the question
    };
    for (const auto &c : cases) {
        field(64, 64, c.dots, 1022);
        init_dots();
        asked = 0;
        answer = c.answer;
        render(memory_screen(), &frame_, [] { return asked++, answer; });
        EXPECT_EQ(asked, c.want_asked) << c.dots;
        EXPECT_EQ(frame_.dirty_dot_index, c.want_recorded) << c.dots;
        EXPECT_EQ(memory_screen_copies() == 0, c.want_asked && c.answer) << c.dots;
        EXPECT_EQ(marks_left(frame_), 0) << "a stopped frame's marks would reach the next";
        free_dots();
    }
}

// A long set-up and long frames paused at every question and taken up again
// leave the picture, the list and the screen the set-up and frames at once leave.
TEST_F(Render, AFieldInPartsIsTheFieldAtOnce) {
    std::vector<uint32_t> picture[2], screen[2];
    std::vector<point> list[2];
    int parts = 0, set_up_parts = 0;
    for (int in_parts = 0; in_parts < 2; in_parts++) {
        rand_seed = 99;
        field(64, 48, 200, 1022);  // 200 * 1024 pixels: paused three times a frame
        starting_pos = 1;
        if (!in_parts) init_dots();
        for (int32_t i = 0; in_parts && (i = init_dots_part(i, [] { return 1; })) < 200;)
            set_up_parts++;
        for (int f = 0; f < 4; f++) {
            int32_t next = 0;
            if (!in_parts) {
                ASSERT_EQ(render_dots(&frame_), 0);
            }
            while (in_parts && !render_dots_part(&frame_, &next, [] { return 1; })) {
                ASSERT_GT(next, 0);
                parts++;
            }
            EXPECT_EQ(next, 0);
            present_frame(memory_screen(), &frame_);
        }
        picture[in_parts] = fb_;
        list[in_parts] = recorded();
        screen[in_parts].assign(memory_screen_pixels(), memory_screen_pixels() + fb_.size());
        free_dots();
    }
    EXPECT_EQ(set_up_parts, 3);  // a question each 65536 trail points: after 65 dots
    EXPECT_EQ(parts, 4 * 3);
    EXPECT_EQ(picture[1], picture[0]);
    EXPECT_EQ(list[1], list[0]);
    EXPECT_EQ(screen[1], screen[0]);
}

// The field drawn at another place of a larger picture: the same pixels, moved,
// and nothing outside the field.
TEST_F(Render, DrawsTheFieldAtTheOriginItIsGiven) {
    starting_pos = 1;
    auto run = [&](int w, int h, int ox, int oy) {
        free_dots();
        field(20, 15, 4, 6);
        picture(w, h, ox, oy);
        rand_seed = 99;
        init_dots();
        for (int f = 0; f < 25; f++) render_dots(&frame_);
        return fb_;
    };
    // Off the tiles' grid, in its third column and second row of tiles.
    const int W = 71, H = 52, ox = 37, oy = 21;
    std::vector<uint32_t> plain = run(20, 15, 0, 0), moved = run(W, H, ox, oy);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            bool inside = x >= ox && x < ox + 20 && y >= oy && y < oy + 15;
            uint32_t want = inside ? plain[size_t(y - oy) * 20 + size_t(x - ox)] : untouched;
            ASSERT_EQ(moved[size_t(y) * W + size_t(x)], want) << x << "," << y;
        }
    // Recorded in field positions; the presentation puts them at the origin.
    pixel_rect r = dirty_bounds(&frame_);
    EXPECT_TRUE(r.left >= ox && r.right <= ox + 20 && r.top >= oy && r.bottom <= oy + 15);
    // The tiles marked while drawing are those of the listed places.
    const size_t grid = size_t(frame_.tiles.tiles_x) * size_t(frame_.tiles.tiles_y);
    std::vector<uint8_t> drawn(frame_.tiles.marks, frame_.tiles.marks + grid);
    std::fill(frame_.tiles.marks, frame_.tiles.marks + grid, 0);
    mark_dirty_tiles(&frame_);
    EXPECT_TRUE(std::equal(drawn.begin(), drawn.end(), frame_.tiles.marks));
    std::copy(drawn.begin(), drawn.end(), frame_.tiles.marks);
    memory_screen_reset(W, H);  // by the tiles marked while drawing, at the origin too
    present_frame_as(memory_screen(), &frame_, plan_presentation(&frame_, favouring(by_tiles)));
    for (point p : recorded()) ASSERT_EQ(memory_screen_pixels()[size_t(p.y + oy) * W + size_t(p.x + ox)], moved[size_t(p.y + oy) * W + size_t(p.x + ox)]);
}

TEST(Speed, InertialPushesAndLimits) {
    struct {
        float v;
        int32_t m, inertia, limit;
        float want;
    } cases[] = {
        {1.9f, 1, 2, 2, 2.0f},          // 1.9 + 0.5 is capped
        {-1.9f, -1, 2, 2, -2.0f},
        {1.0f, 1, 2, 2, 1.5f},
        {0.0f, 1000, 1, INT_MAX, 1000.0f},
        {0.0f, 7, 0, 3, 3.0f},          // +inf
        {0.0f, -7, 0, 3, -3.0f},        // -inf
        {0.0f, 0, 0, 3, 3.0f},          // NaN
        {2.5f, 5, 7, 0, 0.0f},          // limit 0 pins every speed
        {0.0f, -1000, 1, 0, 0.0f},
        {0.0f, 0, 0, 0, 0.0f},
        {-9.0f, -5, 1, -4, 4.0f},       // a negative limit gives |L| whatever came
        {9.0f, 5, 1, -4, 4.0f},
        {0.0f, 0, 0, -4, 4.0f},
        {0.0f, -3, 0, -4, 4.0f},
        {0.0f, 3, 0, INT_MIN, 2147483648.0f},
        {0.0f, -3, 0, INT_MIN, 2147483648.0f},
        {0.0f, -3, 0, INT_MAX, -2147483648.0f},
        {0.5f, 1, INT_MIN, 10, 0.5f},   // 1 / -2^31 vanishes beside 0.5 in single precision
    };
    for (auto c : cases) {
        float v = limit_speed(inertial_speed(c.v, c.m, c.inertia), upper_speed_limit(c.limit),
                              lower_speed_limit(c.limit));
        EXPECT_EQ(v, c.want) << c.v << " + " << c.m << "/" << c.inertia << " limit " << c.limit;
    }
}

TEST(Speed, DivisionByZeroInertiaFollowsIEEE) {
    EXPECT_EQ(inertial_speed(0.0f, 5, 0), inf);
    EXPECT_EQ(inertial_speed(0.0f, -5, 0), -inf);
    EXPECT_TRUE(std::isnan(inertial_speed(0.0f, 0, 0)));
}

TEST(Speed, LimitsTakeInfinitiesAndNaN) {
    struct {
        float v, upper, lower, want;
    } cases[] = {{inf, 5, -5, 5},   {-inf, 5, -5, -5}, {nan_value, 5, -5, 5},
                 {4.5f, 5, -5, 4.5f}, {-5.5f, 5, -5, -5}, {nan_value, -5, 5, 5}};
    for (auto c : cases) EXPECT_EQ(limit_speed(c.v, c.upper, c.lower), c.want) << c.v;
}

TEST(Speed, LimitOfIntMinIsItsMagnitude) {
    // -INT_MIN does not fit 32 bits; the lower limit is still |INT_MIN|.
    EXPECT_EQ(upper_speed_limit(INT_MIN), -2147483648.0f);
    EXPECT_EQ(lower_speed_limit(INT_MIN), 2147483648.0f);
    EXPECT_EQ(lower_speed_limit(INT_MAX), -2147483648.0f);  // rounded, as float(INT_MAX) is
    EXPECT_EQ(lower_speed_limit(-7), 7.0f);
}

TEST(Speed, PushIsWithinPlusMinus1000WithTheSignOfTheDraw) {
    rand_seed = 1;
    const int draws[] = {16838, 5759, 10113, 17516, 31052, 5628};
    for (int d : draws) EXPECT_EQ(inertial_push(), (d - 16383) % 1001) << d;
    EXPECT_EQ((5759 - 16383) % 1001, -614);  // truncating remainder keeps the sign
    for (int k = 0; k < 100000; k++) {
        int32_t m = inertial_push();
        ASSERT_GE(m, -1000);
        ASSERT_LE(m, 1000);
    }
}

TEST(Edges, BounceAndWrapNumbers) {
    const float edge = float(100 - 1);
    struct {
        float x, v, want_x, want_v;
    } bounces[] = {{98.6f, 1, 99, -1}, {0.5f, -2, 0, 2}, {50, 3, 53, 3}, {99, 0, 99, 0},
                   {0, -inf, 0, inf}, {50, inf, 99, -inf}};
    for (auto c : bounces) {
        float x = moved(c.x, c.v), v = c.v;
        bounce_axis(x, v, edge);
        EXPECT_EQ(x, c.want_x) << c.x << " + " << c.v;
        EXPECT_EQ(v, c.want_v) << c.x << " + " << c.v;
    }
    struct {
        float x, v, want_x;
    } wraps[] = {{99.5f, 0.75f, 0}, {0.25f, -0.5f, 99}, {10.5f, 1, 11.5f}, {98.5f, 0.5f, 99}};
    for (auto c : wraps) {
        float x = moved(c.x, c.v);
        wrap_axis(x, edge);
        EXPECT_EQ(x, c.want_x) << c.x << " + " << c.v;
    }
}

TEST(Edges, NaNAndInfinitePositionsEndOnTheScreen) {
    for (float p : {nan_value, inf, -inf, 1e30f, -1e30f}) {
        float x = p, v = 1;
        bounce_axis(x, v, 9);
        EXPECT_TRUE(x >= 0 && x <= 9) << p;
        float y = p;
        wrap_axis(y, 9);
        EXPECT_TRUE(y >= 0 && y <= 9) << p;
    }
}

// The edge rules as render applies them, with the speed forced by a negative limit.
TEST_F(Render, BouncesAndWrapsAtTheRightEdge) {
    field(100, 10, 1, 1);
    speed_limit = -2;  // both speeds become +2
    bounce = 1;
    place(0, {1, 1, 1}, 98.6f, 3.0f, 0, 0, {{98, 3}});
    frame();
    EXPECT_EQ(dot[0].x, 99.0f);
    EXPECT_EQ(dot[0].xv, -2.0f);
    EXPECT_EQ(dot[0].y, 5.0f);
    bounce = 0;
    speed_limit = -1;
    place(0, {1, 1, 1}, 99.5f, 3.0f, 0, 0, {{99, 3}});
    frame();
    EXPECT_EQ(dot[0].x, 0.0f);
    EXPECT_EQ(recorded().back(), (point{0, 4}));
}

TEST_F(Render, InertiaZeroGivesSpeedsOfExactlyTheLimit) {
    field(64, 48, 20, 4);
    inertia = 0;
    speed_limit = 3;
    starting_pos = 1;
    init_dots();
    for (int f = 0; f < 200; f++) {
        frame();
        for (int i = 0; i < dot_count; i++) {
            ASSERT_EQ(std::fabs(dot[i].xv), 3.0f) << "frame " << f;
            ASSERT_EQ(std::fabs(dot[i].yv), 3.0f) << "frame " << f;
        }
    }
}

TEST_F(Render, SpeedLimitZeroKeepsEveryDotWhereItStarted) {
    for (int32_t in : {0, 1, 7, -3, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(in);
        field(40, 30, 10, 3);
        inertia = in;
        speed_limit = 0;
        starting_pos = 1;
        init_dots();
        std::vector<std::pair<float, float>> start;
        for (int i = 0; i < dot_count; i++) start.push_back({dot[i].x, dot[i].y});
        for (int f = 0; f < 50; f++) frame();
        for (int i = 0; i < dot_count; i++) {
            EXPECT_EQ(dot[i].x, start[i].first);
            EXPECT_EQ(dot[i].y, start[i].second);
        }
        free_dots();
    }
}

TEST_F(Render, NegativeLimitDriftsRightAndDown) {
    field(50, 40, 5, 2);
    inertia = 1;
    speed_limit = -3;
    starting_pos = 1;
    init_dots();
    for (int i = 0; i < dot_count; i++) {
        dot[i].x = 10;
        dot[i].y = 10;
    }
    frame();
    for (int i = 0; i < dot_count; i++) {
        EXPECT_EQ(dot[i].x, 13.0f);
        EXPECT_EQ(dot[i].y, 13.0f);
    }
    bounce = 1;
    for (int f = 0; f < 40; f++) frame();
    for (int i = 0; i < dot_count; i++) {  // pressed against the right and bottom edges
        EXPECT_EQ(dot[i].x, 49.0f);
        EXPECT_EQ(dot[i].y, 39.0f);
    }
}

TEST_F(Render, RandomWalkSpeedsAreMinusOneZeroOrOne) {
    field(30, 30, 10, 2);
    brownian = 1;
    inertia = 0;           // both play no part in a random walk
    speed_limit = INT_MIN;
    starting_pos = 1;
    init_dots();
    bool seen[3] = {};
    for (int f = 0; f < 200; f++) {
        std::vector<float> px;
        for (int i = 0; i < dot_count; i++) px.push_back(dot[i].x);
        frame();
        for (int i = 0; i < dot_count; i++) {
            for (float v : {dot[i].xv, dot[i].yv}) {
                ASSERT_TRUE(v == -1.0f || v == 0.0f || v == 1.0f) << v;
                seen[int(v) + 1] = true;
            }
            float dx = std::fabs(dot[i].x - px[i]);
            ASSERT_TRUE(dx <= 1.0f || dx == 29.0f) << dx;  // one step, or a wrap
        }
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
}

TEST_F(Render, EachDotDrawsTwiceFromRnd) {
    for (int32_t walk : {0, 1}) {
        field(10, 10, 7, 3);
        init_dots();
        brownian = walk;
        inertia = 5;
        speed_limit = 4;
        int32_t before = rand_seed;
        for (int k = 0; k < 2 * 7; k++) rnd();
        int32_t expected = rand_seed;
        rand_seed = before;
        frame();
        EXPECT_EQ(rand_seed, expected) << walk;
        free_dots();
    }
}

// Long runs under extreme settings: every pixel on the screen, every position
// finite and inside, every colour 0..255, and exactly dot_count * (dot_history + 2)
// records per frame.
TEST_F(Render, StaysOnTheScreenUnderExtremeSettings) {
    struct {
        int w, h;
        int32_t in, limit, walk, bnc, history;
    } cases[] = {
        {1, 1, 1, 5, 0, 1, 3},           {1, 7, 0, INT_MAX, 0, 0, 1},
        {13, 1, 0, INT_MAX, 0, 1, 5},    {32, 24, 0, INT_MIN, 0, 0, 2},
        {32, 24, 0, INT_MIN, 0, 1, 2},   {32, 24, 1, INT_MAX, 0, 0, 9},
        {32, 24, INT_MIN, 1000, 0, 1, 4}, {32, 24, -1, 1000000, 0, 0, 64},
        {32, 24, 3, -1, 0, 1, 1},        {2, 2, 0, 0, 1, 0, 1024},
        {32, 24, 0, INT_MAX, 1, 1, 16},  {32767, 1, 0, INT_MAX, 0, 0, 2},
        {1, 32767, 0, INT_MAX, 0, 1, 2},
    };
    for (auto c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " inertia " << c.in << " limit "
                                        << c.limit << " brownian " << c.walk << " bounce "
                                        << c.bnc << " history " << c.history);
        field(c.w, c.h, 6, c.history);
        inertia = c.in;
        speed_limit = c.limit;
        brownian = c.walk;
        bounce = c.bnc;
        starting_pos = 1;
        init_dots();
        for (int f = 0; f < 300; f++) {
            frame();
            ASSERT_EQ(frame_.dirty_dot_index, 6 * (c.history + 2));
            for (point p : recorded()) {
                ASSERT_TRUE(p.x >= 0 && p.x < c.w && p.y >= 0 && p.y < c.h)
                    << p.x << "," << p.y << " frame " << f;
                ASSERT_EQ(fb_at(p) & 0xFF000000u, 0u);
            }
            for (int i = 0; i < dot_count; i++) {
                const plix &d = dot[i];
                ASSERT_TRUE(d.x >= 0 && d.x <= float(c.w - 1)) << d.x;
                ASSERT_TRUE(d.y >= 0 && d.y <= float(c.h - 1)) << d.y;
                ASSERT_TRUE(std::isfinite(d.xv) && std::isfinite(d.yv)) << d.xv << " " << d.yv;
            }
        }
        free_dots();
    }
}

TEST_F(Render, RenderDotsDrawsAndRecordsButPresentsNothing) {
    field(12, 9, 2, 3);
    starting_pos = 1;
    init_dots();
    render_dots(&frame_);
    EXPECT_EQ(frame_.dirty_dot_index, 2 * (3 + 2));
    for (size_t k = 0; k < 12 * 9; k++) EXPECT_EQ(memory_screen_pixels()[k], 0u);
}

TEST_F(Render, TwoDotsWithTrailFourRecordTwelvePixelsEveryFrame) {
    field(30, 20, 2, 4);
    starting_pos = 1;
    init_dots();
    for (int f = 0; f < 50; f++) {
        frame();
        ASSERT_EQ(frame_.dirty_dot_index, 12) << f;
    }
    EXPECT_EQ(frame_.tiles.meter.frames, 0) << "copies in memory are never timed: the table decides";
}

TEST_F(Render, NoDotsRecordsNothing) {
    field(8, 8, 0, 1024);
    frame();
    EXPECT_EQ(frame_.dirty_dot_index, 0);
    for (uint32_t p : std::vector<uint32_t>(memory_screen_pixels(), memory_screen_pixels() + 64))
        EXPECT_EQ(p, 0u);
}

}  // namespace
