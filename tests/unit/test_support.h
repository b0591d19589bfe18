// Shared helpers for the unit tests: a fresh folder for each test, and a
// settings file in it that the stand-in platform reads as the program's own.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/native/native.h"
#include "settings/settings.h"

// A test whose program "lives" in its own empty temporary folder: the module
// path points there, so GetIniFilePath names <folder>/Plix.ini.
class ProgramFolderTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("plix-test-" + std::to_string(getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        native_reset();
        native_set_module_file_name((dir_ / "Plix.scr").c_str());
        GetIniFilePath(nullptr);
        reset_settings();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void write_ini(const std::string &text) {
        std::ofstream(dir_ / "Plix.ini", std::ios::binary) << text;
    }
    std::string read_ini() {
        std::ifstream in(dir_ / "Plix.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path dir_;
};
