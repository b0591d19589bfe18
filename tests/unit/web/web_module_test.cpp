// The web page's module built natively, its exports called in the order
// web/plix.js calls them (and under ASan and UBSan by tests/sanitize.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <malloc.h>
#include <string>
#include <vector>

#include "web/plix_web.h"

// A page whose clock never reaches a deadline: every frame asked for is made.
extern "C" double page_now() { return 0; }

namespace {

constexpr int32_t trail_setting = 1;  // dot_history's place among the eight
constexpr int32_t seed = 7, width = 160, height = 100;

// The page's readSettings: a file's bytes put in and read as the saver reads them.
void read_settings(const std::string &file) {
    memcpy(plix_settings_buffer(int32_t(file.size())), file.data(), file.size());
    plix_read_settings(1);
}

std::vector<int32_t> form_values() {
    std::vector<int32_t> v;
    for (int32_t i = 0; i < plix_setting_count(); i++) v.push_back(plix_setting(i));
    return v;
}

// The page's save (its Download): the form's values stored; the file afterwards.
std::string save(const std::vector<int32_t> &form) {
    for (int32_t i = 0; i < int32_t(form.size()); i++) plix_set_setting(i, form[i]);
    EXPECT_EQ(plix_save(), 1) << plix_message();
    return std::string(plix_settings_text(), size_t(plix_settings_size()));
}

// The page's canvas, as the drawing of what changed leaves it (R G B A bytes).
std::vector<uint32_t> canvas;

// A new canvas, as the page makes one for each field: transparent black.
void new_canvas() { canvas.assign(size_t(plix_width()) * size_t(plix_height()), 0); }

// The page's restart, as any change in the form makes: saved, then a new field.
void restart(const std::vector<int32_t> &form) {
    save(form);
    ASSERT_EQ(plix_start(seed, width, height), 0) << plix_message();
    new_canvas();
}

// `count` ticks of the page's clock, a frame each, and the drawing of what
// changed, piece by piece and each in bands, from the screen into the canvas,
// which must then show the screen, opaque; the screen after. `gap` as
// plix_changes takes it.
std::vector<uint32_t> run(int count, int32_t gap = 8) {
    const size_t w = size_t(plix_width()), h = size_t(plix_height());
    for (int i = 0; i < count; i++) {
        EXPECT_EQ(plix_run(1, 1.0), 1);
        const int32_t *c = plix_changes(gap);
        for (int32_t k = 0; k < c[0]; k++) {
            const int32_t *r = c + 1 + 4 * k;
            for (int32_t y = r[1], rows = 0; y < r[1] + r[3]; y += rows) {
                rows = std::min(r[1] + r[3] - y, std::max(1, plix_band_pixels() / r[2]));
                for (int32_t j = 0; j < rows; j++) {  // putImageData's dirty rectangle
                    const size_t at = size_t(y + j) * w + size_t(r[0]);
                    std::copy_n(plix_screen() + at, r[2], canvas.begin() + ptrdiff_t(at));
                }
            }
        }
    }
    const uint32_t *screen = plix_screen();
    std::vector<uint32_t> shown(screen, screen + w * h);
    for (size_t k = 0; k < shown.size(); k++) {
        if (canvas[k] != shown[k] || shown[k] >> 24 != 0xFFu) {
            ADD_FAILURE() << "the canvas differs from the opaque screen at pixel " << k << ": "
                          << std::hex << canvas[k] << " for " << shown[k];
            break;
        }
    }
    return shown;
}

// While a field runs, a download or a file opened leaves it as it started (the
// set-up clamps the trail to 1..1024): it goes on exactly as one that saw
// neither; the download holds what the form says.
TEST(WebModule, FormActionsLeaveTheRunningFieldAsItStarted) {
    std::ifstream in(PLIX_DEFAULT_INI, std::ios::binary);
    const std::string defaults(std::istreambuf_iterator<char>(in), {});
    struct {
        const char *what;
        int32_t trail;       // typed in the form before the restart
        const char *opened;  // the file opened after it; null: a download
    } cases[] = {
        {"a download of a trail over the longest", 2000, nullptr},
        {"a download of no trail", 0, nullptr},
        {"a file opened", 64, "[Plix]\ndot_count=5000\ndot_history=0\ninertia=0\nchow=1\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        read_settings(defaults);
        std::vector<int32_t> form = form_values();
        form[trail_setting] = c.trail;
        restart(form);
        const std::vector<uint32_t> untouched = run(40);
        restart(form);
        run(10, -1);  // the box bounding the changes, as the page once drew
        if (c.opened) {
            read_settings(c.opened);
        } else {
            const std::string file = save(form);
            EXPECT_NE(file.find("\ndot_history=" + std::to_string(c.trail) + "\n"),
                      std::string::npos)
                << file;
        }
        EXPECT_TRUE(run(30, 0) == untouched);
    }
}

// What changed goes in bands of 1024 x 1024 pixels, and fills a new canvas as
// the screen at every size; a new field's first pieces are all of it, none of
// the last field's.
TEST(WebModule, PiecesFillANewCanvasInBands) {
    read_settings("[Plix]\r\n");
    const int32_t band_side = 1024;  // plix_band_pixels is 1024 x 1024
    const int32_t sizes[][2] = {{width, height}, {band_side, band_side}, {band_side + 1, band_side}};
    for (const auto &size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        ASSERT_EQ(plix_start(seed, size[0], size[1]), 0) << plix_message();
        ASSERT_EQ(plix_band_pixels(), band_side * band_side);
        new_canvas();
        run(4, 0);
    }
    ASSERT_EQ(plix_start(seed, width, height), 0);
    const int32_t *c = plix_changes(-1);
    EXPECT_TRUE(c[0] == 1 && c[1] == 0 && c[2] == 0 && c[3] == width && c[4] == height)
        << c[0] << " pieces, the first " << c[3] << "x" << c[4] << " at " << c[1] << "," << c[2];
}

}  // namespace

// Hundreds of restarts, downloads and files opened, as a long visit makes: once
// the first have run, the module holds no more memory than it did.
TEST(WebModule, RestartsDownloadsAndOpensHoldNoMoreMemory) {
    const auto cycle = [](int i) {
        std::vector<int32_t> form = {50 + (i % 7) * 25, 64, 400, 3, 0, 1, 0, i % 2};
        restart(form);
        run(2);
        read_settings("[Plix]\r\ndot_count=" + std::to_string(60 + (i % 5) * 20) + "\r\ndot_history=64\r\n");
        ASSERT_EQ(plix_start(seed, width, height), 0) << plix_message();
        run(2);
    };
    read_settings("[Plix]\r\n");
    for (int i = 0; i < 10; i++) cycle(i);
    const size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 300; i++) cycle(i);
    const size_t after = mallinfo2().uordblks;
    EXPECT_LE(after, before + 64 * 1024) << "in use: " << before << " bytes, then " << after;
}
