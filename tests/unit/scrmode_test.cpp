// Command-line parsing: every form the screen-saver host or a user may send.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "startup/frames_ahead.h"
#include "startup/scrmode.h"

namespace {

plat_window W(intptr_t v) { return reinterpret_cast<plat_window>(v); }
const plat_window kForeground = W(777);
const plat_window kUntouched = W(-12345);

struct ModeCase {
    const char *cmdline;
    ScrMode mode;
    plat_window handle;  // kUntouched: the parse must not write it
};

void PrintTo(const ModeCase &c, std::ostream *os) { *os << '[' << c.cmdline << ']'; }

class ParseScrMode : public testing::TestWithParam<ModeCase> {};

TEST_P(ParseScrMode, GivesModeAndHandle) {
    const ModeCase &c = GetParam();
    plat_window handle = kUntouched;
    EXPECT_EQ(parse_scr_mode(c.cmdline, kForeground, &handle), c.mode) << c.cmdline;
    EXPECT_EQ(handle, c.handle) << c.cmdline;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseScrMode,
    testing::Values(
        // Nothing after the program name: configuration with no owner.
        ModeCase{"plix.scr", smConfig, nullptr}, ModeCase{"plix.scr    ", smConfig, nullptr},
        ModeCase{"", smConfig, nullptr}, ModeCase{"\"C:\\My Savers\\Plix.scr\"", smConfig, nullptr},
        // An unclosed quote eats the whole line.
        ModeCase{"\"C:\\My Savers\\Plix.scr /s", smConfig, nullptr},
        // Quoted names with spaces are skipped whole.
        ModeCase{"\"C:\\My Savers\\Plix.scr\" /s", smSaver, kUntouched},
        ModeCase{"\"C:\\My Savers\\Plix.scr\"/s", smSaver, kUntouched},
        ModeCase{"\"a b\"   -S", smSaver, kUntouched},
        // Prefixes and case.
        ModeCase{"plix.scr /s", smSaver, kUntouched}, ModeCase{"plix.scr /S", smSaver, kUntouched},
        ModeCase{"plix.scr -s", smSaver, kUntouched}, ModeCase{"plix.scr s", smSaver, kUntouched},
        ModeCase{"plix.scr /s 1234", smSaver, kUntouched},
        ModeCase{"plix.scr /save", smSaver, kUntouched},
        // Configuration with and without an owner.
        ModeCase{"plix.scr /c:1234", smConfig, W(1234)},
        ModeCase{"plix.scr /c 1234", smConfig, W(1234)},
        ModeCase{"plix.scr /C : :  1234", smConfig, W(1234)},
        ModeCase{"plix.scr /c", smConfig, kForeground},
        ModeCase{"plix.scr /c  :: ", smConfig, kForeground},
        ModeCase{"plix.scr /configure", smConfig, W(0)},
        ModeCase{"plix.scr c12", smConfig, W(12)},
        // Preview and password: recognised, handle parsed.
        ModeCase{"plix.scr /p 5678", smPreview, W(5678)},
        ModeCase{"plix.scr /l:5678", smPreview, W(5678)},
        ModeCase{"plix.scr -P", smPreview, W(0)},
        ModeCase{"plix.scr /a 1", smPassword, W(1)},
        ModeCase{"plix.scr /A:99abc", smPassword, W(99)},
        ModeCase{"plix.scr /p x", smPreview, W(0)},
        // Anything else.
        ModeCase{"plix.scr /x", smNone, kUntouched}, ModeCase{"plix.scr /", smNone, kUntouched},
        ModeCase{"plix.scr --s", smNone, kUntouched}, ModeCase{"plix.scr 5", smNone, kUntouched},
        ModeCase{"plix.scr \t/s", smNone, kUntouched}));

TEST(ParseHandle, FollowsAtoiAndSaturates) {
    struct {
        const char *text;
        int32_t value;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"42", 42},
        {"  \t42x", 42},
        {"+7", 7},
        {"-7", -7},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"99999999999999999999999999999999999999", INT_MAX},
        {"-99999999999999999999999999999999999999", INT_MIN},
        {"000000000000000000000000000000000000012", 12},
    };
    for (const auto &c : cases) EXPECT_EQ(parse_handle(c.text), c.value) << c.text;
}

// PLIX_SEED and PLIX_FRAMES_AHEAD: plain decimals in range, or no request at all.
TEST(FramesAhead, TakesPlainDecimalsInRangeOnly) {
    struct {
        const char *seed, *frames;
        bool ok, seed_given;
        int32_t seed_value, frame_count;
    } cases[] = {
        {nullptr, nullptr, true, false, 0, 0},
        {"", "", true, false, 0, 0},
        {"-2147483648", "2147483647", true, true, INT32_MIN, INT32_MAX},
        {"+7", "0", true, true, 7, 0},
        {nullptr, "14000", true, false, 0, 14000},
        {"2147483648", "5", false, false, 0, 0},
        {"5", "-1", false, false, 0, 0},
        {"5", "2147483648", false, false, 0, 0},
        {" 5", "5", false, false, 0, 0},
        {"5", "1e3", false, false, 0, 0},
        {"0x10", nullptr, false, false, 0, 0},
        {"-", nullptr, false, false, 0, 0},
        {"99999999999999999999999", nullptr, false, false, 0, 0},
    };
    for (const auto &c : cases) {
        frames_ahead_request r = {true, 1, 1};
        const char *bad = nullptr;
        const std::string what = std::string(c.seed ? c.seed : "(unset)") + " " +
                                 (c.frames ? c.frames : "(unset)");
        EXPECT_EQ(parse_frames_ahead(c.seed, c.frames, &r, &bad), c.ok) << what;
        EXPECT_EQ(r.seed_given, c.seed_given) << what;
        EXPECT_EQ(r.seed, c.seed_value) << what;
        EXPECT_EQ(r.frames, c.frame_count) << what;
        if (!c.ok) {
            EXPECT_NE(bad, nullptr) << what;
        }
    }
}

}  // namespace
