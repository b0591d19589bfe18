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

// The page's restart, as any change in the form makes: saved, then a new field
// on a canvas made black.
void restart(const std::vector<int32_t> &form) {
    save(form);
    ASSERT_EQ(plix_start(seed, width, height), 0) << plix_message();
    canvas.assign(size_t(plix_width()) * size_t(plix_height()), 0xFF000000u);
}

// The refreshes whose pieces plix_convert_changes converted in one call.
int converted_at_once;

// `count` ticks of the page's clock, a frame each, and the drawing of what
// changed, piece by piece, into the canvas, which must then show the screen;
// the screen after. The pieces are converted in one call where they fit, else
// each in bands. `gap` as plix_changes takes it.
std::vector<uint32_t> run(int count, int32_t gap = 8) {
    const size_t w = size_t(plix_width()), h = size_t(plix_height());
    for (int i = 0; i < count; i++) {
        EXPECT_EQ(plix_run(1, 1.0), 1);
        const int32_t *c = plix_changes(gap);
        const bool at_once = plix_convert_changes() == 1;
        converted_at_once += at_once;
        for (int32_t k = 0; k < c[0]; k++) {
            const int32_t *r = c + 1 + 4 * k;
            for (int32_t y = r[1], rows = 0; y < r[1] + r[3]; y += rows) {
                rows = at_once ? r[3] : std::min(r[1] + r[3] - y, std::max(1, plix_band_pixels() / r[2]));
                if (!at_once) EXPECT_EQ(plix_convert(r[0], y, r[2], rows), 1);
                for (int32_t j = 0; j < rows; j++) {  // putImageData's dirty rectangle
                    const size_t at = size_t(y + j) * w + size_t(r[0]);
                    std::copy_n(plix_rgba() + at, r[2], canvas.begin() + ptrdiff_t(at));
                }
            }
        }
    }
    const uint32_t *screen = plix_screen();
    std::vector<uint32_t> shown(screen, screen + w * h);
    for (size_t k = 0; k < shown.size(); k++) {
        const uint32_t p = shown[k];  // as plix_convert gives it: R G B A bytes
        const uint32_t want = 0xFF000000u | (p & 0x00FF00u) | (p >> 16 & 0xFFu) | (p & 0xFFu) << 16;
        if (canvas[k] != want) {
            ADD_FAILURE() << "the canvas differs from the screen at pixel " << k;
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

// What changed converts in one call up to a band's worth, and piece by piece
// beyond it: the first refresh of a field larger than a band is all of it.
TEST(WebModule, ChangesConvertInOneCallUpToABand) {
    read_settings("[Plix]\r\n");
    const int32_t band_side = 1024;  // plix_band_pixels is 1024 x 1024
    struct {
        int32_t width, height;
        int at_once;  // of the first four refreshes
    } cases[] = {{width, height, 4}, {band_side, band_side, 4}, {band_side + 1, band_side, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        ASSERT_EQ(plix_start(seed, c.width, c.height), 0) << plix_message();
        ASSERT_EQ(plix_band_pixels(), band_side * band_side);
        canvas.assign(size_t(c.width) * size_t(c.height), 0xFF000000u);
        converted_at_once = 0;
        run(4, 0);
        EXPECT_EQ(converted_at_once, c.at_once);
    }
    // A new field leaves none of the last one's pieces to convert: here one as
    // large as a band into a smaller screen (tests/sanitize.sh sees any write past it).
    ASSERT_EQ(plix_start(seed, band_side, band_side), 0);
    ASSERT_EQ(plix_changes(-1)[3], band_side);
    ASSERT_EQ(plix_start(seed, width, height), 0);
    EXPECT_EQ(plix_convert_changes(), 1);
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
