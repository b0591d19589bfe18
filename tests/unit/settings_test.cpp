// The settings file's location, the key table, and reading and writing values.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/native/native.h"
#include "settings/settings.h"
#include "test_support.h"

namespace {

// The path, or "none" when the rule names no file.
std::string ini_path_for(const std::string &module, bool truncated = false, char sep = '\\') {
    char out[256];
    memset(out, 'X', sizeof out);
    bool named = ini_path_from_module(module.c_str(), truncated, sep, out, sizeof out);
    EXPECT_EQ(named, out[0] != '\0');
    return named ? out : "none";
}

TEST(IniPath, IsTheProgramsDirectoryPlusTheFileName) {
    EXPECT_EQ(ini_path_for("C:\\Windows\\System\\x.scr"), "C:\\Windows\\System\\Plix.ini");
    EXPECT_EQ(ini_path_for("C:\\x.scr"), "C:\\Plix.ini");
    EXPECT_EQ(ini_path_for("x.scr"), "Plix.ini");
    EXPECT_EQ(ini_path_for(""), "Plix.ini");
    EXPECT_EQ(ini_path_for("C:\\dir\\"), "C:\\dir\\Plix.ini");
    EXPECT_EQ(ini_path_for("/opt/plix/plix-sim", false, '/'), "/opt/plix/Plix.ini");
}

// Neither a cut-off folder nor the bare name, which is the Windows folder's file.
TEST(IniPath, TooLongForTheBufferNamesNoFile) {
    // The directory plus "Plix.ini" and its zero need 247 + 9 = 256 bytes: fits.
    std::string dir = "C:\\" + std::string(243, 'd') + "\\";
    ASSERT_EQ(dir.size(), 247u);
    EXPECT_EQ(ini_path_for(dir + "p.scr"), dir + "Plix.ini");
    // One byte longer no longer fits.
    std::string longer = "C:\\" + std::string(244, 'd') + "\\";
    EXPECT_EQ(ini_path_for(longer + "p.scr"), "none");
    // A path the platform had to cut is never trusted, even if its directory fits.
    EXPECT_EQ(ini_path_for("C:\\short\\" + std::string(240, 'n'), true), "none");
}

TEST(IniPath, GetIniFilePathUsesTheModulePath) {
    native_reset();
    native_set_module_file_name("/srv/savers/plix.scr");
    EXPECT_EQ(GetIniFilePath(nullptr), 1);
    EXPECT_STREQ(lpIniFileNameAndPath, "/srv/savers/Plix.ini");
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
// program cannot be written (a folder in the way here: that stops root too). A
// program folder with no path that fits has the user's file alone, its folder
// made by the first save; with no user's file either, nothing is read or written.
TEST_F(SettingsFile, UsersOwnFileOnceItExistsAndAsTheFallback) {
    const bool all[8] = {true, true, true, true, true, true, true, true}, one[8] = {true};
    enum where { beside, user_file, nowhere };
    struct {
        const char *app_data, *in_the_way;
        bool long_folder;
        const bool *which;
        int saved;
        where in_use;
    } rows[] = {
        {"", "", false, all, 1, beside},                    // the platform has no such folder
        {"appdata", "", false, all, 1, beside},             // beside the program when it can be
        {"appdata", "Plix.ini", false, all, 1, user_file},  // else the user's own file
        {"appdata", "Plix.ini", false, one, 0, beside},     // but not with fewer than eight
        {"appdata", "Plix.ini appdata/Plix", false, all, 0, beside},  // both blocked
        {"appdata", "", true, all, 1, user_file},  // no path beside the program fits
        {"", "", true, all, 0, nowhere},           // and no user's file either
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.app_data) + "|" + r.in_the_way + "|" +
                     (r.long_folder ? "long" : ""));
        std::filesystem::remove_all(dir_ / "Plix.ini");
        std::filesystem::remove_all(dir_ / "appdata");
        std::filesystem::create_directories(dir_ / "appdata");
        if (strstr(r.in_the_way, "Plix.ini")) std::filesystem::create_directory(dir_ / "Plix.ini");
        if (strstr(r.in_the_way, "appdata/Plix")) std::ofstream(dir_ / "appdata" / "Plix") << "x";
        native_set_app_data_folder(*r.app_data ? (dir_ / r.app_data).c_str() : "");
        std::filesystem::path program = dir_ / "Plix.scr";
        if (r.long_folder) program = dir_ / std::string(250, 'l') / "Plix.scr";
        native_set_module_file_name(program.c_str());
        GetIniFilePath(nullptr);
        for (int i = 0; i < 8; i++) *setting_keys[i].value = 10 + i;
        char message[1024];
        EXPECT_EQ(save_settings(r.which, message, sizeof message), r.saved);
        std::string said =
            r.in_use == nowhere ? "Neither the program's folder" : (dir_ / "Plix.ini\r\n").string();
        EXPECT_TRUE(r.saved || strstr(message, said.c_str())) << message;
        reset_settings();
        GetIniFilePath(nullptr);  // as the next run would
        std::filesystem::path user = dir_ / "appdata" / "Plix" / "Plix.ini";
        const std::string in_use[] = {(dir_ / "Plix.ini").string(), user.string(), ""};
        EXPECT_EQ(lpIniFileNameAndPath, in_use[r.in_use]);
        load_settings();
        EXPECT_EQ(dot_count, r.saved ? 10 : 0);
        EXPECT_EQ(starting_pos, r.saved ? 17 : 0);
        EXPECT_FALSE(std::filesystem::exists("Plix.ini"));  // never the bare name
    }
}

}  // namespace
