// Our initialisation-file reader and writer: the corpus in tests/data/ini read as
// Wine's GetPrivateProfileIntA reads it, exact bytes written, and failed writes.
#include <gtest/gtest.h>

#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "inifile/inifile.h"

namespace fs = std::filesystem;

namespace {

const char *const kKeys[8] = {"dot_count", "dot_history", "inertia", "speed_limit",
                              "brownian",  "bounce",      "chow",    "starting_pos"};

std::string slurp(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void spit(const fs::path &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The eight keys of section "Plix" with default -7, so a default is told from a 0.
// Every row is what Wine 8 gave for the file (ini_probe.exe, tests/e2e/cases/settings.sh).
struct corpus_row {
    const char *file;
    int values[8];
};

const corpus_row kCorpus[] = {
    {"plain.ini", {300, 20, 10, 5, 0, 1, 0, 1}},
    {"crlf.ini", {1, 2, 3, 4, 5, 6, 7, 8}},
    {"lf.ini", {1, 2, 3, 4, 5, 6, 7, 8}},
    {"cr.ini", {1, 2, 3, 4, 5, 6, 7, 8}},
    // Every CR and every LF ends a line, whatever the rest of the file uses.
    {"mixed_eol.ini", {1, 2, 3, 4, 5, 6, -7, -7}},
    {"cr_then_lf.ini", {1, 2, 3, -7, -7, -7, -7, -7}},
    {"lf_cr.ini", {1, -7, 3, -7, -7, -7, -7, -7}},
    {"no_final_eol.ini", {7, -7, 8, -7, -7, -7, -7, -7}},
    {"empty.ini", {-7, -7, -7, -7, -7, -7, -7, -7}},
    {"whitespace_only.ini", {-7, -7, -7, -7, -7, -7, -7, -7}},
    {"section_only.ini", {-7, -7, -7, -7, -7, -7, -7, -7}},
    {"ctrl_z.ini", {5, -7, -7, -7, -7, -7, -7, -7}},
    // Keys before any header belong to a nameless section, not to [Plix].
    {"no_section.ini", {-7, -7, -7, -7, -7, -7, -7, -7}},
    {"keys_before_section.ini", {-7, -7, 7, -7, -7, 1, -7, -7}},
    {"other_sections.ini", {-7, -7, 2, -7, -7, -7, -7, -7}},
    // Only the first section of a name counts, and only the first key of a name.
    {"section_twice.ini", {1, -7, -7, -7, -7, -7, -7, -7}},
    {"section_twice_case.ini", {1, -7, -7, -7, -7, -7, -7, -7}},
    {"key_twice.ini", {1, -7, 4, -7, -7, -7, -7, -7}},
    {"blank_lines.ini", {5, -7, 6, -7, -7, -7, -7, -7}},
    {"comments.ini", {-7, 2, -7, 4, 1, -7, -7, -7}},
    {"comment_section.ini", {2, -7, -7, -7, -7, -7, -7, -7}},
    {"spaces.ini", {5, 6, 7, 8, 1, -7, -7, 9}},
    {"key_spaces_inside.ini", {2, -7, -7, -7, -7, -7, -7, -7}},
    {"section_case.ini", {5, -7, 6, 7, -7, -7, -7, -7}},
    {"section_spaces.ini", {1, -7, -7, -7, -7, -7, -7, -7}},
    // A header is named up to its last ']'; "[Plix" is an entry, not a header.
    {"section_unclosed.ini", {2, -7, 5, -7, -7, -7, -7, -7}},
    {"section_trailing_text.ini", {2, -7, -7, -7, -7, -7, -7, -7}},
    {"section_inner_bracket.ini", {3, -7, -7, -7, -7, -7, -7, -7}},
    {"section_empty_name.ini", {2, -7, -7, -7, -7, -7, -7, -7}},
    {"long_section_name.ini", {2, -7, -7, -7, -7, -7, -7, -7}},
    // An entry without '=' is found but empty: the default, and it hides later ones.
    {"empty_value.ini", {-7, -7, -7, 0, 0, -7, 1, -7}},
    {"key_no_equals_then_value.ini", {-7, -7, -7, -7, -7, -7, -7, -7}},
    {"equals_in_value.ini", {5, 0, 8, 0, 0, 0, 1, 3}},
    // One sign only; lower-case 0x/0o/0b prefixes; digits up to the first other
    // character; 32-bit wrap-around.
    {"signs.ini", {5, -5, 0, 0, 0, 0, 0, 0}},
    {"signs2.ini", {0, 0, -6, 0, 0, 0, 0, 16}},
    {"trailing_text.ini", {12, 16, 10, 0, 5, 15, 0, 1}},
    {"hex.ini", {-1, 2147483647, INT_MIN, -1, 0, -16, 0, 0}},
    {"big_numbers.ini", {-350287150, -1, 0, INT_MIN, INT_MAX, 1215752191, 0, -1}},
    // Only the first 29 characters of a value are read.
    {"long_values.ini", {7, 0, 1, 3, -4, -1610612737, 5, 0}},
    {"long_lines.ini", {9, -7, -775480207, 4, -7, -7, -7, -7}},
    {"quotes.ini", {12, 13, 0, 15, 16, -7, -7, -17}},
    // Wine gives 2 for chow, a quoted 29-digit "0...022": it drops the last digit
    // of a quoted value exactly 31 characters long. We read 22.
    {"quotes2.ini", {0, 0, 0, 0, 0, 0, 22, 2}},
    // Byte-order marks: UTF-8 and UTF-16 (either order) are read, a second mark is text.
    {"bom.ini", {5, -7, 6, -7, -7, -7, -7, -7}},
    {"bom_key_first.ini", {-7, -7, 6, -7, -7, -7, -7, -7}},
    {"bom_twice.ini", {-7, -7, -7, -7, -7, -7, -7, -7}},
    {"bom_utf16le.ini", {5, -7, 6, -7, -7, -7, -7, -7}},
    {"utf16be.ini", {5, -7, -6, -7, -7, -7, -7, -7}},
    {"utf16le_odd_length.ini", {5, -7, 6, -7, -7, -7, -7, -7}},
    {"utf16le_wide_chars.ini", {0, -7, -7, 8, -7, 0, 4, -7}},
    {"utf8_names.ini", {0, -7, -7, -7, -7, 0, 0, -7}},
    {"invalid_utf8.ini", {5, -7, 6, -7, -7, 1, 0, -7}},
    // Only ASCII blanks are blanks (not 0xA0); a non-blank value that is no number is 0.
    {"high_bytes.ini", {0, 6, -7, 8, 0, 1, -7, 0}},
    {"binary_noise.ini", {42, -7, 43, -7, -7, -7, -7, -7}},
    {"binary_noise_only.ini", {-7, -7, -7, -7, -7, -7, -7, -7}},
    // Names and values end at a NUL byte, after trimming.
    {"nul_bytes.ini", {5, -7, -7, -7, 9, 1, 2, -7}},
    {"nul_section.ini", {1, -7, -7, -7, -7, -7, -7, -7}},
    {"nul_section_name.ini", {-7, -7, -7, -7, -7, -7, -7, -7}},
    {"nul_trim_order.ini", {2, -7, -7, 4, -7, -7, 7, -7}},
};

fs::path corpus_dir() { return fs::path(PLIX_TEST_DATA) / "ini"; }

TEST(IniRead, CorpusGivesWhatThePlatformGives) {
    size_t files = 0;
    for (const corpus_row &row : kCorpus) {
        fs::path path = corpus_dir() / row.file;
        ASSERT_TRUE(fs::exists(path)) << path;
        for (int k = 0; k < 8; k++)
            EXPECT_EQ(int(ini_file_get_int(path.c_str(), "Plix", kKeys[k], -7)), row.values[k])
                << row.file << " " << kKeys[k];
        files++;
    }
    // Every corpus file has its row (the differential test walks the directory).
    size_t on_disk = 0;
    for (const auto &entry : fs::directory_iterator(corpus_dir()))
        on_disk += entry.path().extension() == ".ini";
    EXPECT_EQ(files, on_disk);
}

TEST(IniRead, NamelessSectionAndNameBlanks) {
    struct row {
        const char *file, *section, *key;
        int expected;
    } rows[] = {
        {"no_section.ini", "", "dot_count", 5},
        {"keys_before_section.ini", "", "inertia", 6},
        {"section_unclosed.ini", "", "dot_count", 1},
        // "[\0]" names a second nameless section, which never counts.
        {"nul_section_name.ini", "", "dot_count", -7},
        {"section_case.ini", "  PLIX\t", " dot_count ", 5},
        {"plain.ini", "Plix", "", -7},
        {"plain.ini", "Plix", "   ", -7},
        {"plain.ini", "Plix]", "dot_count", -7},
    };
    for (const row &r : rows)
        EXPECT_EQ(int(ini_file_get_int((corpus_dir() / r.file).c_str(), r.section, r.key, -7)),
                  r.expected)
            << r.file << " [" << r.section << "] " << r.key;
}

TEST(IniRead, ValuesAsNumbers) {
    struct row {
        std::string value;
        int expected;
    } rows[] = {
        {"0x7FFFFFFF", 2147483647}, {"0o777", 511},  {"0b2", 0},       {"0z", 0},
        {"\x01\x02 5", 5},          {"1\x80", 1},    {"\"\"x", 0},     {"'5\"", 0},
        {"\"5'", 0},                {"\"5\"", 5},    {"'-0x1f'", -31}, {"\"", 0},
        // 29 characters are read: the 30th digit is lost, quotes not counted.
        {std::string(28, '0') + "9", 9},
        {std::string(29, '0') + "9", 0},
        {"\"00000000000000000000000000009\"", 9},  // Wine: 0 (see quotes2.ini)
        {"-00000000000000000000000000012", -1},
    };
    for (const row &r : rows)
        EXPECT_EQ(int(ini_get_int("[Plix]\r\nk=" + r.value + "\r\n", "Plix", "k", -7)),
                  r.expected)
            << r.value;
}

// Writing: the exact bytes, every other byte kept. Where Wine writes other bytes
// (it rewrites the whole file in its own layout) the row says so.
struct write_row {
    const char *name;
    std::string before, section, key, value, after;
};

const std::string kBom8 = "\xEF\xBB\xBF";

std::string utf16le(const std::string &ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}
std::string utf16be(const std::string &ascii) {
    std::string out = "\xFE\xFF";
    for (char c : ascii) {
        out.push_back('\0');
        out.push_back(c);
    }
    return out;
}

const write_row kWrites[] = {
    // Byte for byte what Wine writes:
    {"new file", "", "Plix", "dot_count", "5", "[Plix]\r\ndot_count=5\r\n"},
    {"replace", "[Plix]\r\ndot_count=1\r\ninertia=2\r\n", "Plix", "dot_count", "-5",
     "[Plix]\r\ndot_count=-5\r\ninertia=2\r\n"},
    {"new key follows the section's last entry",
     "[Plix]\r\ndot_count=1\r\n[Other]\r\na=1\r\n", "Plix", "inertia", "5",
     "[Plix]\r\ndot_count=1\r\ninertia=5\r\n[Other]\r\na=1\r\n"},
    {"new section appended", "[Other]\r\na=1\r\n", "Plix", "inertia", "5",
     "[Other]\r\na=1\r\n[Plix]\r\ninertia=5\r\n"},
    {"new section after a last line without line end", "[Other]\r\na=1", "Plix", "b", "5",
     "[Other]\r\na=1\r\n[Plix]\r\nb=5\r\n"},
    {"new key after a last line without line end", "[Plix]\r\na=1", "Plix", "b", "5",
     "[Plix]\r\na=1\r\nb=5\r\n"},
    {"new key after a header without line end", "[Plix]", "Plix", "b", "5",
     "[Plix]\r\nb=5\r\n"},
    {"same value: nothing changes", "[Plix]\r\ndot_count = 5\r\n\r\n  x\r\n", "Plix",
     "dot_count", "5", "[Plix]\r\ndot_count = 5\r\n\r\n  x\r\n"},
    {"first of two sections", "[Plix]\r\na=1\r\n[Plix]\r\nb=2\r\n", "Plix", "b", "5",
     "[Plix]\r\na=1\r\nb=5\r\n[Plix]\r\nb=2\r\n"},
    {"first of two keys, spelling kept", "[Plix]\r\nB=1\r\nb=2\r\n", "plix", "b", "5",
     "[Plix]\r\nB=5\r\nb=2\r\n"},
    {"entry without '=' gets one", "[Plix]\r\ndot_count\r\n", "Plix", "dot_count", "5",
     "[Plix]\r\ndot_count=5\r\n"},
    {"comments count as entries", "[Plix]\r\na=1\r\n;b=2\r\n", "Plix", "b", "5",
     "[Plix]\r\na=1\r\n;b=2\r\nb=5\r\n"},
    {"keys before any header stay there", "a=1\r\n", "Plix", "b", "5",
     "a=1\r\n[Plix]\r\nb=5\r\n"},
    {"value's leading blanks dropped, trailing kept", "", "Plix", "b", " \t5 ",
     "[Plix]\r\nb=5 \r\n"},
    {"UTF-8 mark kept", kBom8 + "[Plix]\r\na=1\r\n", "Plix", "b", "5",
     kBom8 + "[Plix]\r\na=1\r\nb=5\r\n"},
    {"UTF-16 written as UTF-16", utf16le("[Plix]\r\na=1\r\n"), "Plix", "b", "5",
     utf16le("[Plix]\r\na=1\r\nb=5\r\n")},
    {"UTF-16 replace", utf16le("[Plix]\r\na=1\r\n"), "Plix", "a", "-77",
     utf16le("[Plix]\r\na=-77\r\n")},
    {"UTF-16 big-endian", utf16be("[O]\r\n"), "Plix", "b", "5",
     utf16be("[O]\r\n[Plix]\r\nb=5\r\n")},
    // Wine would rewrite the rest of the file too; we keep it:
    {"blank lines kept (Wine drops them)", "[Plix]\r\na=1\r\n\r\n[Other]\r\n\r\n", "Plix", "b",
     "5", "[Plix]\r\na=1\r\nb=5\r\n\r\n[Other]\r\n\r\n"},
    {"spacing kept on other lines (Wine: \"c=3\", \"[Plix]\")",
     " [ Plix ] ; s\r\n  c  =  3  \r\n", "Plix", "b", "5",
     " [ Plix ] ; s\r\n  c  =  3  \r\nb=5\r\n"},
    {"the written line takes Wine's layout", "[Plix]\r\n  DOT_COUNT  =  1 ; c\r\n", "Plix",
     "dot_count", "2", "[Plix]\r\nDOT_COUNT=2\r\n"},
    {"LF and CR line ends kept (Wine: all CR LF)", "[Plix]\na=1\n[O]\rq=1\r", "Plix", "b", "5",
     "[Plix]\na=1\nb=5\r\n[O]\rq=1\r"},
    {"text after NUL kept (Wine drops it)", std::string("[Plix]\r\na=1\0x\r\n", 15), "Plix",
     "b", "5", std::string("[Plix]\r\na=1\0x\r\nb=5\r\n", 20)},
    {"^Z at the end stays at the end (Wine drops it)", "[Plix]\r\na=1\r\n\x1a", "Plix", "b",
     "5", "[Plix]\r\na=1\r\nb=5\r\n\x1a"},
};

TEST(IniWrite, ExactBytes) {
    for (const write_row &w : kWrites) {
        std::string out = "untouched";
        EXPECT_TRUE(ini_set_string(w.before, w.section.c_str(), w.key.c_str(), w.value.c_str(),
                                   &out))
            << w.name;
        EXPECT_EQ(out, w.after) << w.name;
        // What was written reads back (a number, or the default for a non-number).
        std::string expected_value = w.value;
        expected_value.erase(0, expected_value.find_first_not_of(" \t"));
        EXPECT_EQ(int(ini_get_int(out, w.section.c_str(), w.key.c_str(), -7)),
                  atoi(expected_value.c_str()))
            << w.name;
    }
}

TEST(IniWrite, RefusesWhatCannotBeStored) {
    const char *bad[][3] = {
        {"", "k", "1"},      {"  ", "k", "1"},       {"Plix", "", "1"},     {"Plix", " ", "1"},
        {"Plix", "a=b", "1"}, {"Plix", "[x]", "1"},  {"Pl]ix", "k", "1"},   {"Plix", "k", "1\r\n[X]"},
        {"Plix", "k\nx", "1"}, {"Pl\rix", "k", "1"},
    };
    for (auto &b : bad) {
        std::string out = "untouched";
        EXPECT_FALSE(ini_set_string("[Plix]\r\nk=0\r\n", b[0], b[1], b[2], &out))
            << b[0] << "|" << b[1] << "|" << b[2];
        EXPECT_EQ(out, "untouched");
    }
}

// Files: a scratch directory per test.
class IniFile : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("plix-ini-" + std::to_string(getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::permissions(dir_, fs::perms(0755));
        path_ = (dir_ / "Plix.ini").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms(0755), ec);
        fs::remove_all(dir_, ec);
    }
    // The names in the directory, so a forgotten temporary file shows.
    std::vector<std::string> listing(const fs::path &dir) {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir_;
    std::string path_;
};

using Names = std::vector<std::string>;

TEST_F(IniFile, CreatesReplacesAndLeavesNoTemporaryFile) {
    spit(path_ + ".new", "the user's own");  // no name of ours
    EXPECT_EQ(ini_file_set_string(path_.c_str(), "Plix", "dot_count", "5"), 1);
    EXPECT_EQ(slurp(path_), "[Plix]\r\ndot_count=5\r\n");
    EXPECT_EQ(ini_file_set_string(path_.c_str(), "Plix", "dot_count", "6"), 1);
    EXPECT_EQ(ini_file_set_string(path_.c_str(), "Plix", "bounce", "1"), 1);
    EXPECT_EQ(slurp(path_), "[Plix]\r\ndot_count=6\r\nbounce=1\r\n");
    EXPECT_EQ(int(ini_file_get_int(path_.c_str(), "Plix", "dot_count", 0)), 6);
    EXPECT_EQ(listing(dir_), (Names{"Plix.ini", "Plix.ini.new"}));
    EXPECT_EQ(slurp(path_ + ".new"), "the user's own");
}

TEST_F(IniFile, UnchangedValueLeavesTheFileAlone) {
    spit(path_, "[Plix]\r\ndot_count=5\r\n");
    struct stat before, after;
    ASSERT_EQ(stat(path_.c_str(), &before), 0);
    EXPECT_EQ(ini_file_set_string(path_.c_str(), "Plix", "dot_count", "5"), 1);
    ASSERT_EQ(stat(path_.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);  // not replaced by a new file
}

TEST_F(IniFile, FailedWritesReturnZeroAndKeepTheOldFile) {
    // The path is a directory.
    fs::create_directory(path_);
    EXPECT_EQ(ini_file_set_string(path_.c_str(), "Plix", "a", "1"), 0);
    EXPECT_TRUE(fs::is_directory(path_));
    EXPECT_TRUE(fs::is_empty(path_));
    fs::remove(path_);
    // The directory is missing, or is a file.
    EXPECT_EQ(ini_file_set_string((dir_ / "none" / "Plix.ini").c_str(), "Plix", "a", "1"), 0);
    spit(dir_ / "file", "x");
    EXPECT_EQ(ini_file_set_string((dir_ / "file" / "Plix.ini").c_str(), "Plix", "a", "1"), 0);
    EXPECT_EQ(slurp(dir_ / "file"), "x");
    // Bad names touch nothing, and one among several keys stops them all.
    spit(path_, "[Plix]\r\na=1\r\n");
    EXPECT_EQ(ini_file_set_string(path_.c_str(), "Plix", "a=b", "1"), 0);
    const char *keys[] = {"a", "b=c"}, *values[] = {"2", "3"};
    EXPECT_EQ(ini_file_set_strings(path_.c_str(), "Plix", keys, values, 2), 0);
    EXPECT_EQ(slurp(path_), "[Plix]\r\na=1\r\n");
    EXPECT_EQ(listing(dir_), (Names{"Plix.ini", "file"}));
    // A file too large to be a settings file (65 MiB) is neither read nor replaced.
    fs::resize_file(path_, 65u << 20);
    EXPECT_EQ(int(ini_file_get_int(path_.c_str(), "Plix", "a", -7)), -7);
    EXPECT_EQ(ini_file_set_string(path_.c_str(), "Plix", "a", "2"), 0);
    EXPECT_EQ(fs::file_size(path_), 65u << 20);
    char head[13];
    std::ifstream(path_, std::ios::binary).read(head, sizeof head);
    EXPECT_EQ(std::string(head, sizeof head), "[Plix]\r\na=1\r\n");
}

// Runs `fn` in a child process without root's right to ignore permissions, and
// with `no_fallocate` as on a file system that has no fallocate: the kernel
// answers EOPNOTSUPP, as there, and the C library does what it does then.
int unprivileged(const std::function<int()> &fn, bool no_fallocate = false) {
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 ||
                               setuid(65534) != 0))
            _exit(99);
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fallocate, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        sock_fprog program = {sizeof filter / sizeof filter[0], filter};
        if (no_fallocate && (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
                             prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0))
            _exit(97);
        _exit(fn());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

TEST_F(IniFile, PermissionsAreRespected) {
    const std::string old_text = "[Plix]\r\na=1\r\n;keep me\r\n";
    // A read-only directory: no temporary file can be made, so nothing is written.
    spit(path_, old_text);
    fs::permissions(path_, fs::perms(0666));
    fs::permissions(dir_, fs::perms(0555));
    EXPECT_EQ(unprivileged([&] { return ini_file_set_string(path_.c_str(), "Plix", "a", "2"); }), 0);
    fs::permissions(dir_, fs::perms(0777));
    EXPECT_EQ(slurp(path_), old_text);
    EXPECT_EQ(listing(dir_), Names{"Plix.ini"});
    // A read-only file in a writable directory is not replaced.
    fs::permissions(path_, fs::perms(0444));
    EXPECT_EQ(unprivileged([&] { return ini_file_set_string(path_.c_str(), "Plix", "a", "2"); }), 0);
    EXPECT_EQ(slurp(path_), old_text);
    // A file that cannot be read is not replaced by one holding only the new key.
    fs::permissions(path_, fs::perms(0222));
    EXPECT_EQ(unprivileged([&] { return ini_file_set_string(path_.c_str(), "Plix", "a", "2"); }), 0);
    EXPECT_EQ(unprivileged([&] { return int(ini_file_get_int(path_.c_str(), "Plix", "a", 7)); }),
              7);
    fs::permissions(path_, fs::perms(0644));
    EXPECT_EQ(slurp(path_), old_text);
    EXPECT_EQ(listing(dir_), Names{"Plix.ini"});
}

// A file its writer may change but not own (root's, writable by all): a new file
// would change hands, so it is written in place.
TEST_F(IniFile, AFileOfAnotherOwnerIsWrittenInPlace) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a file of another user";
    spit(path_, "[Plix]\r\na=1\r\n;a longer comment than the new text needs\r\n");
    fs::permissions(path_, fs::perms(0666));
    fs::permissions(dir_, fs::perms(0777));
    struct stat before, after;
    ASSERT_EQ(stat(path_.c_str(), &before), 0);
    EXPECT_EQ(unprivileged([&] { return ini_file_set_string(path_.c_str(), "Plix", "a", "22"); }), 1);
    ASSERT_EQ(stat(path_.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, 0u);
    EXPECT_EQ(slurp(path_), "[Plix]\r\na=22\r\n;a longer comment than the new text needs\r\n");
    EXPECT_EQ(listing(dir_), Names{"Plix.ini"});
    // Growing, where the file system has no fallocate: the room is taken by
    // writing (the C library's stand-in reads past the first block, which a
    // write-only descriptor cannot).
    const std::string comment(9000, 'c');
    spit(path_, "[Plix]\r\na=1\r\n;" + comment);
    auto grow = [&] { return ini_file_set_string(path_.c_str(), "Plix", "a", "333"); };
    EXPECT_EQ(unprivileged(grow, true), 1);
    EXPECT_TRUE(slurp(path_) == "[Plix]\r\na=333\r\n;" + comment);  // no 9 kB diff in the log
    ASSERT_EQ(stat(path_.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST_F(IniFile, KeepsPermissionsAndSymbolicLinks) {
    spit(dir_ / "real.ini", "[Plix]\r\na=1\r\n");
    fs::permissions(dir_ / "real.ini", fs::perms(0600));
    fs::create_symlink("real.ini", path_);
    EXPECT_EQ(ini_file_set_string(path_.c_str(), "Plix", "a", "2"), 1);
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(slurp(dir_ / "real.ini"), "[Plix]\r\na=2\r\n");
    EXPECT_EQ(fs::status(dir_ / "real.ini").permissions(), fs::perms(0600));
    EXPECT_EQ(listing(dir_), (Names{"Plix.ini", "real.ini"}));
}

// A 10 MB file with the section at its very end, in both line-end styles: read
// and written in one pass (a quadratic scan would not finish in the test's time).
TEST_F(IniFile, TenMegabytesWithTheSectionAtTheEnd) {
    for (const std::string eol : {"\r\n", "\r"}) {
        std::string text = "[Noise]" + eol;
        for (int i = 0; text.size() < 10'000'000; i++)
            text += "key" + std::to_string(i) + "=" + std::string(i % 200, 'v') + eol;
        text += "long=" + std::string(300'000, '9') + eol;
        text += "[Plix]" + eol + "dot_count=17" + eol;
        spit(path_, text);
        EXPECT_EQ(int(ini_file_get_int(path_.c_str(), "Plix", "dot_count", -7)), 17);
        EXPECT_EQ(int(ini_file_get_int(path_.c_str(), "Plix", "inertia", -7)), -7);
        EXPECT_EQ(int(ini_file_get_int(path_.c_str(), "Noise", "key123", -7)), 0);
        EXPECT_EQ(ini_file_set_string(path_.c_str(), "Plix", "inertia", "3"), 1);
        EXPECT_EQ(ini_file_set_string(path_.c_str(), "Noise", "key5", "4"), 1);
        std::string after = slurp(path_);
        std::string expected = text + "inertia=3\r\n";
        size_t at = expected.find("key5=");
        expected.replace(at, 5 + 5, "key5=4");  // "key5=vvvvv" -> "key5=4"
        EXPECT_TRUE(after == expected);  // not EXPECT_EQ: no 10 MB diff in the log
        EXPECT_EQ(int(ini_get_int(after, "Plix", "inertia", -7)), 3);
    }
}

}  // namespace
