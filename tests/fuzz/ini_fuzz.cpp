// Fuzz target: the settings-file reader and writer over arbitrary file text.
// The reader must cope with anything; the writer, given names and values such as
// the program passes, must store a value that reads back and touch nothing else.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "inifile/inifile.h"

namespace {

bool write(const std::string &text, const std::string &section, const std::string &key,
           const std::string &value, std::string *out) {
    return ini_set_string(text, section.c_str(), key.c_str(), value.c_str(), out);
}

// A name the program could pass: letters of both cases, digits, '_', '.', '-'
// and inner spaces; never empty, never blank at either end.
std::string name_from(const std::string &raw) {
    static const char alphabet[] = "aAbBzZ09_.- ";
    std::string s;
    for (char c : raw) s += alphabet[uint8_t(c) % (sizeof alphabet - 1)];
    while (!s.empty() && s.back() == ' ') s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    return s.empty() ? "k" : s;
}

std::string folded(std::string s) {
    for (char &c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// The first few plain names (letters, digits, '_') in the text, to probe with.
void harvest_names(const std::string &text, std::vector<std::string> *names) {
    std::string cur;
    for (char c : text) {
        bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (word) {
            cur += c;
        } else if (!cur.empty()) {
            if (names->size() < 10) names->push_back(cur);
            cur.clear();
        }
    }
    if (!cur.empty() && names->size() < 10) names->push_back(cur);
}

bool utf16(const std::string &t) {
    return t.compare(0, 2, "\xFF\xFE") == 0 || t.compare(0, 2, "\xFE\xFF") == 0;
}

void fail(const char *what) {
    fprintf(stderr, "invariant broken: %s\n", what);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string raw_section = in.ConsumeRandomLengthString(70);
    const std::string raw_key = in.ConsumeRandomLengthString(130);
    const int32_t number = in.ConsumeIntegral<int32_t>();
    const bool decimal = in.ConsumeBool();
    std::string raw_value = in.ConsumeRandomLengthString(64);
    const std::string text = in.ConsumeRemainingBytesAsString();

    // The reader on anything at all (names are C strings: a NUL ends them).
    ini_get_int(text, raw_section.c_str(), raw_key.c_str(), 17);

    const std::string section = name_from(raw_section), key = name_from(raw_key);
    // The program writes decimal numbers; any text without a line break (or a
    // NUL, which would end the C string) is tried too.
    std::string value = decimal ? std::to_string(number) : raw_value;
    value = value.substr(0, value.find_first_of(std::string("\r\n\0", 3)));

    std::string out;
    if (!write(text, section, key, value, &out)) fail("a plain name and value were refused");

    const int def = -99;
    unsigned want;
    if (decimal) {
        want = unsigned(number);
    } else {
        std::string fresh;
        if (!write("", section, key, value, &fresh)) fail("refused on an empty file");
        want = ini_get_int(fresh, section.c_str(), key.c_str(), def);
    }
    if (ini_get_int(out, section.c_str(), key.c_str(), def) != want) fail("value does not read back");

    // Writing the same value again changes nothing.
    std::string again;
    if (!write(out, section, key, value, &again) || again != out) fail("second write differs");

    // Every other section and key reads as before.
    std::vector<std::string> seen;
    harvest_names(text, &seen);
    std::vector<std::string> sections = {section, "Plix", ""}, keys = {key, "dot_count"};
    for (size_t i = 0; i < seen.size(); i++) (i % 2 ? sections : keys).push_back(seen[i]);
    for (const std::string &s : sections) {
        for (const std::string &k : keys) {
            if (folded(s) == folded(section) && folded(k) == folded(key)) continue;
            if (ini_get_int(out, s.c_str(), k.c_str(), def) != ini_get_int(text, s.c_str(), k.c_str(), def))
                fail("another key changed");
        }
    }

    // Only one run of bytes differs, and what it replaced held no line end: the
    // key's own line at most. (UTF-16 files pair their bytes, so this is for
    // byte-per-character files.)
    if (!utf16(text)) {
        size_t p = 0;
        while (p < text.size() && p < out.size() && text[p] == out[p]) p++;
        size_t s = 0;
        while (s < text.size() - p && s < out.size() - p &&
               text[text.size() - 1 - s] == out[out.size() - 1 - s])
            s++;
        if (text.substr(p, text.size() - p - s).find_first_of("\r\n") != std::string::npos)
            fail("a line end was removed");
    }
    return 0;
}
