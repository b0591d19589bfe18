// The Wayland platform without a compositor: where each output's part lies in
// the field, and which tiles of which surfaces a copy marks.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/wayland/wayland_platform.h"

namespace {

struct output_row {
    int32_t x, y, width, height, scale;  // width 0: its surface awaits its size
};

// Outputs as the compositor described them, each with a surface of its size
// (buffers stand-ins: only their marks are used here).
void make_outputs(const std::vector<output_row> &rows) {
    static char memory;
    for (wayland_output *o : wl.outputs) delete o;
    wl.outputs.clear();
    for (const output_row &r : rows) {
        auto *o = new wayland_output{};
        o->described = true;
        o->x = r.x;
        o->y = r.y;
        o->scale = r.scale;
        o->surface = reinterpret_cast<wl_surface *>(&memory);
        o->width = r.width;
        o->height = r.height;
        o->memory = &memory;
        o->tiles_x = (r.width + tile_size - 1) / tile_size;
        o->tiles_y = (r.height + tile_size - 1) / tile_size;
        o->damage.assign(size_t(o->tiles_x * o->tiles_y), 0);
        for (wayland_buffer &b : o->buffers) b.stale.assign(o->damage.size(), 0);
        wl.outputs.push_back(o);
    }
}

TEST(WaylandLayout, TheFieldBoundsEveryOutputAndPlacesEach) {
    struct row {
        std::vector<output_row> outputs;
        bool ready;
        int32_t width, height;
        std::vector<std::pair<int32_t, int32_t>> places;
    } rows[] = {
        {{{0, 0, 320, 200, 1}, {320, 0, 320, 200, 1}}, true, 640, 200, {{0, 0}, {320, 0}}},
        // Left of and above the first: places count from the box's corner.
        {{{0, 0, 320, 200, 1}, {-200, -150, 200, 150, 1}}, true, 520, 350, {{200, 150}, {0, 0}}},
        // Scale 2: its layout place doubled, its size in device pixels; one of
        // scale 1 beside it at the same density, its part apart from the first's.
        {{{100, 0, 640, 400, 2}}, true, 640, 400, {{0, 0}}},
        {{{0, 0, 640, 400, 2}, {320, 0, 200, 100, 1}}, true, 840, 400, {{0, 0}, {640, 0}}},
        {{{0, 0, 200, 100, 1}, {200, 0, 640, 400, 2}}, true, 1040, 400, {{0, 0}, {400, 0}}},
        // Far apart: the field stops at the largest size, the far part off it.
        {{{-2000000000, 0, 320, 200, 1}, {2000000000, 0, 320, 200, 1}},
         true,
         32767,
         200,
         {{0, 0}, {1 << 24, 0}}},
        {{{0, 0, 320, 200, 1}, {320, 0, 0, 0, 1}}, false, 0, 0, {}},
        {{}, false, 0, 0, {}},
    };
    for (const row &r : rows) {
        make_outputs(r.outputs);
        int32_t width = 0, height = 0;
        ASSERT_EQ(wayland_layout(&width, &height), r.ready) << r.outputs.size();
        if (!r.ready) continue;
        EXPECT_EQ(width, r.width);
        EXPECT_EQ(height, r.height);
        for (size_t i = 0; i < r.places.size(); i++) {
            EXPECT_EQ(wl.outputs[i]->place_x, r.places[i].first) << i;
            EXPECT_EQ(wl.outputs[i]->place_y, r.places[i].second) << i;
        }
    }
}

TEST(WaylandShown, UnseenWhenNoSurfaceShowsFramesAllShownOnEveryOutputThatIsOn) {
    static char callback;
    struct row {
        std::vector<bool> waiting;            // per output: its last commit not yet shown
        std::vector<long long> committed_at;  // ms
        bool changed;                         // the last output has more to commit
        bool unseen;                          // at 300 ms, patience 250 ms
        bool all_shown;                       // on every output that is on
    } rows[] = {
        {{true, true}, {0, 40}, false, true, true},
        {{true, false}, {0, 0}, false, false, true},    // one output shows our frames, one is off
        {{true, false}, {0, 0}, true, false, false},    // the one that is on has more to show
        {{true, true}, {0, 100}, false, false, false},  // one commit is recent
        {{}, {}, false, true, true},                    // no output at all
    };
    for (const row &r : rows) {
        make_outputs(std::vector<output_row>(r.waiting.size(), {0, 0, 16, 16, 1}));
        for (size_t i = 0; i < r.waiting.size(); i++) {
            wl.outputs[i]->frame =
                r.waiting[i] ? reinterpret_cast<wl_callback *>(&callback) : nullptr;
            wl.outputs[i]->committed_at = r.committed_at[i];
            wl.outputs[i]->changed = r.changed && i + 1 == r.waiting.size();
        }
        EXPECT_EQ(wayland_unseen(300, 250), r.unseen) << r.waiting.size();
        EXPECT_EQ(wayland_all_shown(300, 250), r.all_shown) << r.waiting.size() << r.changed;
    }
    make_outputs({});
}

// The marked tiles of an output, as "tx,ty" in row order.
std::vector<std::pair<int, int>> marked(const std::vector<uint8_t> &marks, int32_t tiles_x) {
    std::vector<std::pair<int, int>> at;
    for (size_t i = 0; i < marks.size(); i++)
        if (marks[i]) at.push_back({int(i % size_t(tiles_x)), int(i / size_t(tiles_x))});
    return at;
}

TEST(WaylandCopies, MarkTheTilesEachOutputShowsForTheCommitAndBothBuffers) {
    using tiles = std::vector<std::pair<int, int>>;
    struct row {
        pixel_rect copy;
        tiles left, right;  // what the outputs at x 0 and x 40 (40 x 20 each) mark
    } rows[] = {
        {{0, 0, 1, 1}, {{0, 0}}, {}},
        {{0, 0, 16, 16}, {{0, 0}}, {}},    // ends on a tile's edge
        {{39, 19, 40, 20}, {{2, 1}}, {}},  // the last pixel: a cut tile
        {{40, 0, 41, 1}, {}, {{0, 0}}},    // the next output's first pixel
        {{30, 15, 50, 17}, {{1, 0}, {2, 0}, {1, 1}, {2, 1}}, {{0, 0}, {0, 1}}},
        {{79, 0, 80, 1}, {}, {{2, 0}}},
    };
    for (const row &r : rows) {
        make_outputs({{0, 0, 40, 20, 1}, {40, 0, 40, 20, 1}});
        int32_t width, height;
        ASSERT_TRUE(wayland_layout(&width, &height));
        frame_buffer fb{};
        wayland_framebuf_services.copy_rect(wayland_target(), &fb, r.copy.left, r.copy.top,
                                            r.copy.right - r.copy.left, r.copy.bottom - r.copy.top);
        const tiles *want[2] = {&r.left, &r.right};
        for (int i = 0; i < 2; i++) {
            const wayland_output *o = wl.outputs[size_t(i)];
            // Each output is within one damage cell: damaged whole, cut at its edges.
            const tiles whole = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}};
            EXPECT_EQ(marked(o->damage, o->tiles_x), want[i]->empty() ? tiles{} : whole)
                << r.copy.left << " output " << i;
            EXPECT_EQ(o->changed, !want[i]->empty());
            for (const wayland_buffer &b : o->buffers)
                EXPECT_EQ(marked(b.stale, o->tiles_x), *want[i]);
        }
    }
    // On a 13 x 13 tile output: the damage takes the cells the copy's tiles are in.
    struct cell_row {
        pixel_rect copy;
        int32_t tx0, ty0, tx1, ty1;  // the damaged tiles, inclusive
    } cell_rows[] = {
        {{70, 70, 71, 71}, 4, 4, 7, 7},
        {{60, 0, 70, 1}, 0, 0, 7, 3},            // across a cell's edge
        {{199, 199, 200, 200}, 12, 12, 12, 12},  // the cut cell at the corner
    };
    for (const cell_row &r : cell_rows) {
        make_outputs({{0, 0, 200, 200, 1}});
        int32_t width, height;
        ASSERT_TRUE(wayland_layout(&width, &height));
        frame_buffer fb{};
        wayland_framebuf_services.copy_rect(wayland_target(), &fb, r.copy.left, r.copy.top,
                                            r.copy.right - r.copy.left, r.copy.bottom - r.copy.top);
        const wayland_output *o = wl.outputs[0];
        tiles damaged;
        for (int ty = r.ty0; ty <= r.ty1; ty++)
            for (int tx = r.tx0; tx <= r.tx1; tx++) damaged.push_back({tx, ty});
        EXPECT_EQ(marked(o->damage, o->tiles_x), damaged) << r.copy.left;
    }
    make_outputs({});
}

// Marked tiles as a commit's damage: runs along each tile row, joined across
// short gaps and down through rows with the same columns, until there are too
// many for one commit; then a span a row. Every marked tile is covered, and the
// marks cleared.
TEST(WaylandDamage, RunsOfMarkedTilesFewEnoughForOneCommit) {
    struct row {
        const char *pattern;
        int32_t side;
        bool (*marked)(int32_t tx, int32_t ty);
        size_t rects;
    } rows[] = {
        // A checkerboard: one span a row, each row's columns unlike the last's.
        {"checkerboard", 64, [](int32_t tx, int32_t ty) { return (tx + ty) % 2 == 0; }, 4},
        {"column", 1024, [](int32_t tx, int32_t) { return tx == 5; }, 1},
        {"two columns, a gap apart", 1024,
         [](int32_t tx, int32_t) { return tx == 3 || tx == 4 + wayland_damage_gap; }, 1},
        // Every tenth of 64 tiles, a row's one further on than the last's: 7 runs
        // a row, 36 rows of them and 4 of the next, whose other 3 join its last
        // run; then a span for each of the 27 rows left.
        {"scattered", 1024, [](int32_t tx, int32_t ty) { return tx % 10 == ty % 2; },
         wayland_max_damage + 27},
    };
    static_assert(wayland_damage_gap < 9, "the scattered tiles' gaps are not to be joined");
    for (const row &r : rows) {
        make_outputs({{0, 0, r.side, r.side, 1}});
        wayland_output *o = wl.outputs[0];
        for (int32_t ty = 0; ty < o->tiles_y; ty++)
            for (int32_t tx = 0; tx < o->tiles_x; tx++)
                o->damage[size_t(ty * o->tiles_x + tx)] = r.marked(tx, ty);
        const std::vector<pixel_rect> runs = wayland_damage(o);
        EXPECT_EQ(runs.size(), r.rects) << r.pattern;
        for (int32_t ty = 0; ty < o->tiles_y; ty++)
            for (int32_t tx = 0; tx < o->tiles_x; tx++)
                EXPECT_TRUE(!r.marked(tx, ty) ||
                            std::any_of(runs.begin(), runs.end(),
                                        [&](const pixel_rect &d) {
                                            return d.left <= tx * tile_size &&
                                                   (tx + 1) * tile_size <= d.right &&
                                                   d.top <= ty * tile_size &&
                                                   (ty + 1) * tile_size <= d.bottom;
                                        }))
                    << r.pattern << " tile " << tx << "," << ty;
        EXPECT_EQ(std::count(o->damage.begin(), o->damage.end(), 1), 0);
    }
    make_outputs({});
}

}  // namespace
