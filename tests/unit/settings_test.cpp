// The settings file's location, the key table, and reading and writing values.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/headless.h"
#include "settings/settings.h"
#include "test_support.h"

namespace {

std::string ini_path_for(const std::string &module, bool truncated = false, char sep = '\\') {
    char out[256];
    memset(out, 'X', sizeof out);
    ini_path_from_module(module.c_str(), truncated, sep, out, sizeof out);
    return out;
}

TEST(IniPath, IsTheProgramsDirectoryPlusTheFileName) {
    EXPECT_EQ(ini_path_for("C:\\Windows\\System\\x.scr"), "C:\\Windows\\System\\Plix.ini");
    EXPECT_EQ(ini_path_for("C:\\x.scr"), "C:\\Plix.ini");
    EXPECT_EQ(ini_path_for("x.scr"), "Plix.ini");
    EXPECT_EQ(ini_path_for(""), "Plix.ini");
    EXPECT_EQ(ini_path_for("C:\\dir\\"), "C:\\dir\\Plix.ini");
    EXPECT_EQ(ini_path_for("/opt/plix/plix-sim", false, '/'), "/opt/plix/Plix.ini");
}

TEST(IniPath, TooLongForTheBufferFallsBackToTheBareName) {
    // The directory plus "Plix.ini" and its zero need 247 + 9 = 256 bytes: fits.
    std::string dir = "C:\\" + std::string(243, 'd') + "\\";
    ASSERT_EQ(dir.size(), 247u);
    EXPECT_EQ(ini_path_for(dir + "p.scr"), dir + "Plix.ini");
    // One byte longer no longer fits.
    std::string longer = "C:\\" + std::string(244, 'd') + "\\";
    EXPECT_EQ(ini_path_for(longer + "p.scr"), "Plix.ini");
    // A path the platform had to cut is never trusted, even if its directory fits.
    EXPECT_EQ(ini_path_for("C:\\short\\" + std::string(240, 'n'), true), "Plix.ini");
}

TEST(IniPath, GetIniFilePathUsesTheModulePath) {
    headless_reset();
    headless_set_module_file_name("/srv/savers/plix.scr");
    EXPECT_EQ(GetIniFilePath(nullptr), 1);
    EXPECT_STREQ(lpIniFileNameAndPath, "/srv/savers/Plix.ini");
    headless_set_module_file_name(("/" + std::string(300, 'a') + "/plix.scr").c_str());
    GetIniFilePath(nullptr);
    EXPECT_STREQ(lpIniFileNameAndPath, "Plix.ini");
}

TEST(KeyTable, ListsTheEightKeysInOrder) {
    const char *names[] = {"dot_count", "dot_history", "inertia", "speed_limit",
                           "brownian",  "bounce",      "chow",    "starting_pos"};
    int32_t *vars[] = {&dot_count, &dot_history, &inertia, &speed_limit,
                       &brownian,  &bounce,      &chow,    &starting_pos};
    for (int i = 0; i < 8; i++) {
        EXPECT_STREQ(setting_keys[i].key, names[i]);
        EXPECT_EQ(setting_keys[i].value, vars[i]);
        EXPECT_EQ(setting_keys[i].control_id, 104 + i);
        EXPECT_EQ(setting_keys[i].is_flag, i >= 4);
    }
}

using SettingsFile = ProgramFolderTest;

TEST_F(SettingsFile, MissingFileSectionOrKeyReadsAsZero) {
    EXPECT_EQ(read_int_ini("dot_count"), 0);
    write_ini("[Other]\r\ndot_count=5\r\n");
    EXPECT_EQ(read_int_ini("dot_count"), 0);
    write_ini("[Plix]\r\ndot_count=5\r\nspeed_limit=3\r\n");
    EXPECT_EQ(read_int_ini("inertia"), 0);
    load_settings();
    EXPECT_EQ(dot_count, 5);
    EXPECT_EQ(inertia, 0);
    EXPECT_EQ(speed_limit, 3);
    EXPECT_STREQ(lpIniSection, "Plix");
    EXPECT_STREQ(lpIniKeyName, "starting_pos");  // the last key read, in table order
}

TEST_F(SettingsFile, WrittenValuesReadBack) {
    write_int_value("dot_count", 12);
    write_int_value("bounce", 1);
    write_int_value("inertia", -2147483647 - 1);
    EXPECT_STREQ(lpIniKeyData, "-2147483648");
    EXPECT_EQ(read_int_ini("dot_count"), 12);
    EXPECT_EQ(read_int_ini("bounce"), 1);
    EXPECT_EQ(read_int_ini("inertia"), -2147483647 - 1);
    EXPECT_EQ(read_ini(), "[Plix]\r\ndot_count=12\r\nbounce=1\r\ninertia=-2147483648\r\n");
}

TEST_F(SettingsFile, WritingAllEightKeepsTableOrderInANewFile) {
    for (const setting_key &k : setting_keys) write_int_value(k.key, k.is_flag ? 1 : 7);
    EXPECT_EQ(read_ini(),
              "[Plix]\r\ndot_count=7\r\ndot_history=7\r\ninertia=7\r\nspeed_limit=7\r\n"
              "brownian=1\r\nbounce=1\r\nchow=1\r\nstarting_pos=1\r\n");
}

}  // namespace

namespace {

// The user's own file sits in <dir>/appdata/Plix; the program in <dir>.
class UserSettingsFile : public ProgramFolderTest {
protected:
    void SetUp() override {
        ProgramFolderTest::SetUp();
        headless_set_app_data_folder((dir_ / "appdata").c_str());
        std::filesystem::create_directories(dir_ / "appdata");
    }
    std::filesystem::path user_ini() { return dir_ / "appdata" / "Plix" / "Plix.ini"; }
    // What is at `path`: nothing, a settings file, or a folder in the way.
    static void make(const std::filesystem::path &path, const char *what) {
        std::filesystem::create_directories(path.parent_path());
        if (std::string(what) == "file") std::ofstream(path) << "[Plix]\ndot_count=3\n";
        if (std::string(what) == "folder") std::filesystem::create_directories(path);
    }
};

TEST_F(UserSettingsFile, IsTheFileInUseOnceItExists) {
    std::string too_long(251, 'a');
    too_long[0] = '/';
    struct {
        std::string app_data;
        const char *user_file;
        bool in_use;
    } rows[] = {
        {"", "none", false},                           // the platform has no such folder
        {(dir_ / "appdata").string(), "none", false},  // not made yet
        {(dir_ / "appdata").string(), "file", true},
        {(dir_ / "appdata").string(), "folder", true},  // there but unreadable: said so
        {too_long, "none", false},                      // the path would not fit
    };
    for (const auto &r : rows) {
        std::filesystem::remove_all(dir_ / "appdata");
        make(user_ini(), r.user_file);
        headless_set_app_data_folder(r.app_data.c_str());
        GetIniFilePath(nullptr);
        EXPECT_EQ(lpIniFileNameAndPath, (r.in_use ? user_ini() : dir_ / "Plix.ini").string())
            << r.app_data << " " << r.user_file;
        char message[512] = "";
        EXPECT_EQ(check_ini_readable(message, sizeof message),
                  std::string(r.user_file) != "folder");
        if (std::string(r.user_file) == "folder") {
            EXPECT_NE(std::string(message).find(user_ini().string() + "\r\ncannot be read: "),
                      std::string::npos);
        }
    }
}

// OK's write: beside the program when it can be, else all eight to the user's
// own file, else nothing and a message naming every file tried.
TEST_F(UserSettingsFile, SaveFallsBackToTheUsersFileOnlyWithAllEight) {
    const bool all[8] = {true, true, true, true, true, true, true, true};
    const bool two[8] = {true, false, false, false, false, false, false, true};
    struct {
        const char *beside;    // file, folder (in the way)
        const char *user_dir;  // none, file (in the way of the folder)
        const bool *which;
        int saved;
        const char *lands;  // beside, user, nowhere
    } rows[] = {
        {"file", "none", all, 1, "beside"},    {"file", "none", two, 1, "beside"},
        {"folder", "none", all, 1, "user"},    {"folder", "none", two, 0, "nowhere"},
        {"folder", "file", all, 0, "nowhere"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.beside) + " " + r.user_dir + " " + r.lands);
        std::filesystem::remove_all(dir_ / "Plix.ini");
        std::filesystem::remove_all(dir_ / "appdata");
        make(dir_ / "Plix.ini", r.beside);
        make(dir_ / "appdata" / "Plix", r.user_dir);
        GetIniFilePath(nullptr);
        for (int i = 0; i < 8; i++) *setting_keys[i].value = 10 + i;
        char message[1024] = "";
        EXPECT_EQ(save_settings(r.which, message, sizeof message), r.saved);
        std::filesystem::path where =
            std::string(r.lands) == "user" ? user_ini() : dir_ / "Plix.ini";
        EXPECT_EQ(std::string(lpIniFileNameAndPath), where.string());
        if (r.saved) {
            reset_settings();
            load_settings();
            for (int i = 0; i < 8; i++)  // unwritten keys keep what the file held
                EXPECT_EQ(*setting_keys[i].value, r.which[i] ? 10 + i : i == 0 ? 3 : 0) << i;
        } else {
            EXPECT_FALSE(std::filesystem::exists(user_ini()));
            EXPECT_TRUE(std::filesystem::is_directory(dir_ / "Plix.ini"));
            EXPECT_NE(std::string(message).find((dir_ / "Plix.ini").string() + "\r\n"),
                      std::string::npos);
            if (r.which == all) {
                EXPECT_NE(std::string(message).find((dir_ / "appdata" / "Plix").string()),
                          std::string::npos);
            }
        }
    }
}

}  // namespace
