// Damaged settings files that combine several faults at once (mark, CR-only
// line ends, repeated sections and keys, huge signed numbers, noise, keys without
// '='), read as the platform reads them. Each row is what GetPrivateProfileIntA
// gave under Wine 8 for the same file (64-bit ini_probe.exe, default -7).
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

#include "inifile/inifile.h"
#include "settings/settings.h"

namespace {

struct combined_row {
    const char *file;
    int values[8];  // in the order of setting_keys
};

const combined_row combined_rows[] = {
    // The mark is skipped; the first "dot_count" wins over DOT_COUNT; the second
    // [plix] never counts.
    {"bom_cr_section_twice.ini", {1, -7, 3, -7, -7, -7, -7, -7}},
    // Entries before the header are no part of it; "[ Plix ] trailing" is the
    // section; its keys end at [Other], so the later [PLIX] is ignored.
    {"bom_keys_before_header_twice.ini", {-7, 32, -7, -7, -7, -7, -7, -7}},
    // 20-digit numbers keep their low 32 bits; a sign must touch the digits; the
    // last line has no line end.
    {"cr_big_signed_numbers.ini", {350287150, 1661992959, -42, 0, 1, 0, -1, INT_MAX}},
    // A key without '=' is an empty entry that hides the real one below it.
    {"noise_key_without_equals.ini", {-7, -7, -7, 6, -7, -7, -7, -7}},
};

TEST(IniCombined, DamagedFilesReadAsThePlatformReadsThem) {
    const std::filesystem::path dir = std::filesystem::path(PLIX_TEST_DATA) / "ini_combined";
    size_t on_disk = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        on_disk += entry.path().extension() == ".ini";
    EXPECT_EQ(on_disk, sizeof combined_rows / sizeof combined_rows[0]) << "every file needs its row";
    for (const combined_row &row : combined_rows) {
        const std::string path = (dir / row.file).string();
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        for (int k = 0; k < 8; k++)
            EXPECT_EQ(int(ini_file_get_int(path.c_str(), "Plix", setting_keys[k].key, -7)),
                      row.values[k])
                << row.file << " " << setting_keys[k].key;
    }
}

}  // namespace
