// Our own initialisation-file reader and writer, for builds without Win32.
#include "platform/ini_file.h"

#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

struct line_view {
    size_t begin, end;  // the line without its end-of-line characters
    size_t next;        // start of the following line
};

std::vector<line_view> split_lines(const std::string &text) {
    std::vector<line_view> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') end++;
        size_t next = end;
        if (next < text.size() && text[next] == '\r') next++;
        if (next < text.size() && text[next] == '\n') next++;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string &text, size_t b, size_t e) {
    while (b < e && is_blank(text[b])) b++;
    while (e > b && is_blank(text[e - 1])) e--;
    return text.substr(b, e - b);
}

// The section name of a "[name]" line, or false.
bool section_name(const std::string &line, std::string *name) {
    if (line.empty() || line[0] != '[') return false;
    size_t close = line.find(']');
    *name = trimmed(line, 1, close == std::string::npos ? line.size() : close);
    return true;
}

bool same_name(const std::string &a, const char *b) { return strcasecmp(a.c_str(), b) == 0; }

// Where key `key` of section `section` lies: the line index of the entry (or
// -1), and the index after the section's last non-blank line (or -1 when the
// section is missing).
void locate(const std::string &text, const std::vector<line_view> &lines, const char *section,
            const char *key, long *entry, long *section_end) {
    *entry = -1;
    *section_end = -1;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); i++) {
        std::string line = trimmed(text, lines[i].begin, lines[i].end);
        std::string name;
        if (section_name(line, &name)) {
            if (inside) return;  // only the first section of that name counts
            inside = same_name(name, section);
            if (inside) *section_end = long(i) + 1;
            continue;
        }
        if (!inside || line.empty()) continue;
        *section_end = long(i) + 1;
        size_t eq = line.find('=');
        if (eq == std::string::npos || line[0] == ';') continue;
        if (*entry < 0 && same_name(trimmed(line, 0, eq), key)) *entry = long(i);
    }
}

// RtlUnicodeStringToInteger with base 0, as GetPrivateProfileIntA applies it:
// blanks, a sign, an optional 0x/0o/0b prefix, digits wrapping in 32 bits.
unsigned parse_int(const std::string &s) {
    size_t i = 0;
    while (i < s.size() && uint8_t(s[i]) <= ' ') i++;
    bool minus = false;
    while (i < s.size() && (s[i] == '+' || s[i] == '-')) minus ^= (s[i++] == '-');
    unsigned base = 10;
    if (i + 1 < s.size() && s[i] == '0') {
        char p = s[i + 1];
        if (p == 'x' || p == 'X') base = 16;
        if (p == 'o' || p == 'O') base = 8;
        if (p == 'b' || p == 'B') base = 2;
        if (base != 10) i += 2;
    }
    uint32_t total = 0;
    for (; i < s.size(); i++) {
        char c = s[i];
        unsigned digit = c >= '0' && c <= '9'   ? unsigned(c - '0')
                         : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
                         : c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10)
                                                : 99;
        if (digit >= base) break;
        total = total * base + digit;
    }
    return minus ? 0u - total : total;
}

std::string read_file(const char *path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

unsigned ini_get_int(const std::string &text, const char *section, const char *key, int def) {
    std::vector<line_view> lines = split_lines(text);
    long entry, section_end;
    locate(text, lines, section, key, &entry, &section_end);
    if (entry < 0) return unsigned(def);
    std::string line = trimmed(text, lines[entry].begin, lines[entry].end);
    std::string value = trimmed(line, line.find('=') + 1, line.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (value.empty()) return unsigned(def);
    return parse_int(value.substr(0, 29));  // the platform reads through a 30-character buffer
}

std::string ini_set_string(const std::string &text, const char *section, const char *key,
                           const char *value) {
    std::vector<line_view> lines = split_lines(text);
    long entry, section_end;
    locate(text, lines, section, key, &entry, &section_end);
    std::string entry_text = std::string(key) + "=" + value;
    if (entry >= 0)
        return text.substr(0, lines[entry].begin) + entry_text + text.substr(lines[entry].end);
    if (section_end >= 0) {
        size_t at = lines[section_end - 1].next;
        std::string before = text.substr(0, at);
        if (lines[section_end - 1].next == lines[section_end - 1].end) before += "\r\n";
        return before + entry_text + "\r\n" + text.substr(at);
    }
    std::string out = text;
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    return out + "[" + section + "]\r\n" + entry_text + "\r\n";
}

unsigned ini_file_get_int(const char *path, const char *section, const char *key, int def) {
    return ini_get_int(read_file(path), section, key, def);
}

int ini_file_write(const char *path, const char *section, const char *key, const char *value) {
    std::string text = ini_set_string(read_file(path), section, key, value);
    std::string temp = std::string(path) + ".new";
    FILE *f = fopen(temp.c_str(), "wb");
    if (!f) return 0;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok || rename(temp.c_str(), path) != 0) {
        remove(temp.c_str());
        return 0;
    }
    return 1;
}
