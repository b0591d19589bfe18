// The web page's module built natively, its exports called in the order
// web/plix.js calls them (and under ASan and UBSan by tests/sanitize.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
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

// The page's restart, as any change in the form makes: saved, then a new field.
void restart(const std::vector<int32_t> &form) {
    save(form);
    ASSERT_EQ(plix_start(seed, width, height), 0) << plix_message();
}

// `count` ticks of the page's clock, a frame each, and the drawing of what
// changed in bands; the screen after.
std::vector<uint32_t> run(int count) {
    for (int i = 0; i < count; i++) {
        EXPECT_EQ(plix_run(1, 1.0), 1);
        const int32_t *c = plix_changes();
        for (int32_t y = c[1], w = c[2], h = c[3]; w && h;) {
            const int32_t rows = std::min(h, std::max(1, plix_band_pixels() / w));
            EXPECT_EQ(plix_convert(c[0], y, w, rows), 1);
            y += rows;
            h -= rows;
        }
    }
    const uint32_t *screen = plix_screen();
    return std::vector<uint32_t>(screen, screen + size_t(plix_width()) * size_t(plix_height()));
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
        run(10);
        if (c.opened) {
            read_settings(c.opened);
        } else {
            const std::string file = save(form);
            EXPECT_NE(file.find("\ndot_history=" + std::to_string(c.trail) + "\n"),
                      std::string::npos)
                << file;
        }
        EXPECT_TRUE(run(30) == untouched);
    }
}

}  // namespace
