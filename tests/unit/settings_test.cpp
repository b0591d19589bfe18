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

// The user's own file (in <dir>/appdata/Plix) is the one in use once it exists,
// and where OK's write goes, with all eight keys only, when the file beside the
// program cannot be written (a folder in the way here: that stops root too).
TEST_F(SettingsFile, UsersOwnFileOnceItExistsAndAsTheFallback) {
    const bool all[8] = {true, true, true, true, true, true, true, true}, one[8] = {true};
    struct {
        const char *app_data, *in_the_way;
        const bool *which;
        int saved;
        bool in_user_file;
    } rows[] = {
        {"", "", all, 1, false},                              // the platform has no such folder
        {"appdata", "", all, 1, false},                       // beside the program when it can be
        {"appdata", "Plix.ini", all, 1, true},                // else the user's own file
        {"appdata", "Plix.ini", one, 0, false},               // but not with fewer than eight
        {"appdata", "Plix.ini appdata/Plix", all, 0, false},  // both blocked
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.app_data) + "|" + r.in_the_way);
        std::filesystem::remove_all(dir_ / "Plix.ini");
        std::filesystem::remove_all(dir_ / "appdata");
        std::filesystem::create_directories(dir_ / "appdata");
        if (strstr(r.in_the_way, "Plix.ini")) std::filesystem::create_directory(dir_ / "Plix.ini");
        if (strstr(r.in_the_way, "appdata/Plix")) std::ofstream(dir_ / "appdata" / "Plix") << "x";
        headless_set_app_data_folder(*r.app_data ? (dir_ / r.app_data).c_str() : "");
        GetIniFilePath(nullptr);
        for (int i = 0; i < 8; i++) *setting_keys[i].value = 10 + i;
        char message[1024];
        EXPECT_EQ(save_settings(r.which, message, sizeof message), r.saved);
        EXPECT_TRUE(r.saved || strstr(message, (dir_ / "Plix.ini\r\n").c_str())) << message;
        reset_settings();
        GetIniFilePath(nullptr);  // as the next run would
        std::filesystem::path user = dir_ / "appdata" / "Plix" / "Plix.ini";
        EXPECT_STREQ(lpIniFileNameAndPath, (r.in_user_file ? user : dir_ / "Plix.ini").c_str());
        load_settings();
        EXPECT_EQ(dot_count, r.saved ? 10 : 0);
        EXPECT_EQ(starting_pos, r.saved ? 17 : 0);
    }
}

}  // namespace
