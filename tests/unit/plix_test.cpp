// plix, the Linux program: its command line for --idle and the autostart
// entry, whose text and checks are plain functions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plix/autostart.h"
#include "plix/options.h"

namespace {

struct OptionsCase {
    std::vector<const char *> args;
    int status;              // parse_options's
    long long idle_seconds;  // when it is 0
    list_action action;
};

void PrintTo(const OptionsCase &c, std::ostream *os) {
    for (const char *a : c.args) *os << a << ' ';
}

class IdleOptions : public testing::TestWithParam<OptionsCase> {};

TEST_P(IdleOptions, ParseOrRefuse) {
    const OptionsCase &c = GetParam();
    std::vector<char *> argv = {const_cast<char *>("plix")};
    for (const char *a : c.args) argv.push_back(const_cast<char *>(a));
    plix_options o;
    testing::internal::CaptureStderr();
    EXPECT_EQ(parse_options(int(argv.size()), argv.data(), "0x1234", &o), c.status);
    const std::string err = testing::internal::GetCapturedStderr();
    if (c.status != 0) {
        EXPECT_NE(err.find("plix: "), std::string::npos) << err;
        return;
    }
    EXPECT_EQ(err, "");
    EXPECT_EQ(o.idle_seconds, c.idle_seconds);
    EXPECT_EQ(o.action, c.action);
    // --idle draws on Wayland's outputs, never in the window a host names.
    if (c.action == list_action::none) {
        EXPECT_EQ(o.target, draw_target::own_window);
    }
}

constexpr auto none = list_action::none;
INSTANTIATE_TEST_SUITE_P(
    Forms, IdleOptions,
    testing::Values(
        // SECONDS: 1 to the largest count of milliseconds in 32 bits.
        OptionsCase{{"--idle", "1"}, 0, 1, none},
        OptionsCase{
            {"--idle=4294967", "--fps", "--seed", "-3", "--dot-count", "7"}, 0, 4294967, none},
        OptionsCase{{"-idle", "300", "--no-bounce"}, 0, 300, none},
        OptionsCase{{"--idle", "0"}, 2, 0, none}, OptionsCase{{"--idle", "4294968"}, 2, 0, none},
        OptionsCase{{"--idle", "-5"}, 2, 0, none}, OptionsCase{{"--idle", "5s"}, 2, 0, none},
        OptionsCase{{"--idle"}, 2, 0, none},
        OptionsCase{{"--idle", "3", "--idle", "4"}, 2, 0, none},
        // What has no meaning over every output whenever idle comes.
        OptionsCase{{"--idle", "3", "--frames", "5"}, 2, 0, none},
        OptionsCase{{"--root", "--idle", "3"}, 2, 0, none},
        OptionsCase{{"--idle", "3", "--window-id", "0x42"}, 2, 0, none},
        OptionsCase{{"--idle", "3", "--size", "10x10"}, 2, 0, none},
        OptionsCase{{"--idle", "3", "--frames-ahead", "100"}, 2, 0, none},
        // The autostart entry's commands stand alone.
        OptionsCase{{"--install-autostart", "60"}, 0, 60, list_action::install_autostart},
        OptionsCase{{"--install-autostart=4294967"}, 0, 4294967, list_action::install_autostart},
        OptionsCase{{"--uninstall-autostart"}, 0, 0, list_action::uninstall_autostart},
        OptionsCase{{"--install-autostart"}, 2, 0, none},
        OptionsCase{{"--install-autostart", "0"}, 2, 0, none},
        OptionsCase{{"--install-autostart", "4294968"}, 2, 0, none},
        OptionsCase{{"--install-autostart", "60", "--seed", "1"}, 2, 0, none},
        OptionsCase{{"--seed", "1", "--install-autostart", "60"}, 2, 0, none},
        OptionsCase{{"--uninstall-autostart", "60"}, 2, 0, none},
        OptionsCase{{"--uninstall-autostart=1"}, 2, 0, none}));

struct EntryCase {
    const char *program;
    const char *exec;  // the Exec line written, or null when none can be
};

class AutostartEntry : public testing::TestWithParam<EntryCase> {};

TEST_P(AutostartEntry, NamesTheProgram) {
    const EntryCase &c = GetParam();
    for (const bool hidden : {false, true}) {
        const std::string text = autostart_entry(c.program, 600, hidden);
        if (!c.exec) {
            EXPECT_EQ(text, "") << c.program;
            continue;
        }
        EXPECT_NE(text.find(std::string("\nExec=") + c.exec + " --idle 600\n"), std::string::npos)
            << text;
        EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
        EXPECT_NE(text.find("\nOnlyShowIn=KDE;\n"), std::string::npos) << text;
        // What it writes, it reads back as its own, switched off or not.
        EXPECT_TRUE(autostart_runs_plix(text)) << text;
        EXPECT_EQ(autostart_hidden(text), hidden) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AutostartEntry,
    testing::Values(EntryCase{"/usr/libexec/xscreensaver/plix", "/usr/libexec/xscreensaver/plix"},
                    EntryCase{"/opt/my plix/plix", "\"/opt/my plix/plix\""},
                    EntryCase{"/opt/100%/plix", "/opt/100%%/plix"},
                    EntryCase{"/opt/a'b/plix", "\"/opt/a'b/plix\""},
                    EntryCase{"/opt/$HOME/plix", nullptr}, EntryCase{"/opt/a\"b/plix", nullptr},
                    EntryCase{"/opt/a\\b/plix", nullptr}, EntryCase{"/opt/a`b/plix", nullptr},
                    EntryCase{"/opt/a\nb/plix", nullptr}));

// An entry already there: whether the user switched it off (only in its own
// group, only "true"), and whether it is plix's to replace or take out.
TEST(AutostartEntry, ReadsAnEntryThere) {
    struct {
        const char *text;
        bool hidden, plix;
    } cases[] = {
        {"[Desktop Entry]\nExec=/usr/bin/plix --idle 5\nHidden=true\n", true, true},
        {"[Desktop Entry]\r\nExec=plix --idle 5\r\nHidden = true\r\n", true, true},
        {"[Desktop Entry]\nExec=\"/opt/my plix/plix\" --idle 5\nHidden=false\n", false, true},
        {"[Desktop Entry]\nExec=/usr/bin/plix\n[Desktop Action x]\nHidden=true\n", false, true},
        {"Hidden=true\n[Desktop Entry]\nExec=plix\n", false, true},
        {"[Desktop Entry]\nHidden=True\nExec=/usr/bin/xplix --idle 5\n", false, false},
        {"[Desktop Entry]\nExec=/usr/bin/plix-other\n", false, false},
        {"[Desktop Entry]\nTryExec=plix\n", false, false},
        {"", false, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(autostart_hidden(c.text), c.hidden) << c.text;
        EXPECT_EQ(autostart_runs_plix(c.text), c.plix) << c.text;
    }
}

TEST(AutostartEntry, PathFollowsXdgConfigHome) {
    EXPECT_EQ(autostart_path(nullptr, "/home/u"), "/home/u/.config/autostart/plix.desktop");
    EXPECT_EQ(autostart_path("", "/home/u"), "/home/u/.config/autostart/plix.desktop");
    // A relative XDG_CONFIG_HOME is to be ignored, as the base-directory rules say.
    EXPECT_EQ(autostart_path("conf", "/home/u"), "/home/u/.config/autostart/plix.desktop");
    EXPECT_EQ(autostart_path("/srv/conf", "/home/u"), "/srv/conf/autostart/plix.desktop");
}

}  // namespace
