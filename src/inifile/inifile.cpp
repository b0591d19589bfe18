// Our own initialisation-file reader and writer, for builds without Win32: the
// text functions. The rules are Wine's (kernel32 profile code), checked against
// it by tests/e2e. The file functions are in inifile_files.cpp.
#include "inifile/inifile.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// The only blanks the profile code knows; ^Z is the old DOS end-of-file mark.
bool is_blank(char c) { return (c >= '\t' && c <= '\r') || c == ' ' || c == '\x1a'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

// The file as one byte per character. ANSI and UTF-8 files are their own bytes
// after any UTF-8 mark: only ASCII bytes mean anything here and no multi-byte
// character contains one. A UTF-16 file (byte-order mark FF FE or FE FF) has
// each code unit reduced to one byte, every non-ASCII unit to 0x80.
struct ini_text {
    std::string_view chars;  // the file's own bytes, or `wide` below
    std::string wide;
    size_t mark = 0;   // bytes before chars[0]
    size_t width = 1;  // bytes per character in the file
    bool big_endian = false;
};

// Holds a view of `raw`, which must outlive it.
void decode(const std::string &raw, ini_text *t) {
    t->chars = raw;
    if (raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        t->mark = 3;
        t->chars.remove_prefix(3);
        return;
    }
    bool le = raw.compare(0, 2, "\xFF\xFE") == 0, be = raw.compare(0, 2, "\xFE\xFF") == 0;
    if (!le && !be) return;
    t->mark = 2;
    t->width = 2;
    t->big_endian = be;
    t->wide.reserve(raw.size() / 2);
    for (size_t i = 2; i + 1 < raw.size(); i += 2) {
        unsigned hi = uint8_t(raw[be ? i : i + 1]), lo = uint8_t(raw[be ? i + 1 : i]);
        t->wide += hi == 0 && lo < 0x80 ? char(lo) : '\x80';
    }
    t->chars = t->wide;
}

// Text of ours (ASCII names, the caller's value) in the file's own encoding.
std::string encode(const ini_text &t, const std::string &s) {
    if (t.width == 1) return s;
    std::string out;
    for (char c : s) {
        out += t.big_endian ? '\0' : c;
        out += t.big_endian ? c : '\0';
    }
    return out;
}

struct span {
    size_t b, e;
};

span trim(std::string_view s, size_t b, size_t e) {
    while (b < e && is_blank(s[b])) b++;
    while (e > b && is_blank(s[e - 1])) e--;
    return {b, e};
}

// Names and values are C strings to the profile code: a NUL byte ends them.
// (It is applied after trimming, so "a \0" is the name "a ".)
size_t cut_at_nul(std::string_view s, size_t b, size_t e) {
    const void *nul = memchr(s.data() + b, '\0', e - b);
    return nul ? size_t(static_cast<const char *>(nul) - s.data()) : e;
}

bool same_name(std::string_view s, span name, const std::string &want) {
    if (name.e - name.b != want.size()) return false;
    for (size_t i = 0; i < want.size(); i++)
        if (lower(s[name.b + i]) != lower(want[i])) return false;
    return true;
}

std::string trimmed(const char *name) {
    std::string s = name;
    span t = trim(s, 0, s.size());
    return s.substr(t.b, t.e - t.b);
}

// Where `key` of the first section named `section` is, or where it would go.
struct location {
    bool section = false;     // the section exists
    size_t insert_at = 0;     // just past the section's header or last entry line
    bool insert_eol = false;  // that line ends the file without a line end
    bool key = false;         // the key exists; then:
    span line{0, 0};          // its line, without the line end
    span name{0, 0};          // its name as the file spells it
    bool has_value = false;   // the line has an '='
    span value{0, 0};
};

// One pass over the lines. Every CR and every LF ends a line (CR LF counts as
// one line end); blank lines are skipped. A line that starts with '[' and holds a
// ']' is a section header, named by what lies between the '[' and the LAST ']'.
// Any other line is an entry: the name up to the first '=', the value after it;
// comments are entries whose names no key matches. Lines before the first header
// form a nameless section, and of several sections with one name only the first
// counts: nothing is merged.
location locate(std::string_view s, const std::string &section, const std::string &key) {
    location loc;
    bool inside = section.empty();
    loc.section = inside;
    const size_t n = s.size();
    size_t pos = 0;
    while (pos < n) {
        size_t e = pos;
        while (e < n && s[e] != '\r' && s[e] != '\n') e++;
        size_t next = e;
        if (next < n) next += (s[next] == '\r' && next + 1 < n && s[next + 1] == '\n') ? 2 : 1;
        span line = trim(s, pos, e);
        span whole{pos, e};
        pos = next;
        if (line.b == line.e) continue;
        if (s[line.b] == '[') {
            size_t close = line.e - 1;
            while (close > line.b && s[close] != ']') close--;
            if (close > line.b) {
                if (inside) break;
                span name = trim(s, line.b + 1, close);
                name.e = cut_at_nul(s, name.b, name.e);
                inside = same_name(s, name, section);
                if (inside) {
                    loc.section = true;
                    loc.insert_at = next;
                    loc.insert_eol = next == e;
                }
                continue;
            }
        }
        if (!inside) continue;
        loc.insert_at = next;
        loc.insert_eol = next == e;
        const void *eq = memchr(s.data() + line.b, '=', line.e - line.b);
        size_t name_end = eq ? size_t(static_cast<const char *>(eq) - s.data()) : line.e;
        span name = trim(s, line.b, name_end);
        name.e = cut_at_nul(s, name.b, name.e);
        if (!same_name(s, name, key)) continue;
        loc.key = true;
        loc.line = whole;
        loc.name = name;
        loc.has_value = eq != nullptr;
        if (eq) {
            span value = trim(s, name_end + 1, line.e);
            loc.value = {value.b, cut_at_nul(s, value.b, value.e)};
        }
        break;  // the first entry of that name wins
    }
    return loc;
}

// RtlUnicodeStringToInteger with base 0, as GetPrivateProfileIntA applies it:
// leading control characters and blanks, at most one sign, a lower-case 0x, 0o or
// 0b prefix, then digits up to the first that is not one; the total wraps in 32
// bits, so "4294967295" reads as -1 and 20-digit numbers as their low 32 bits.
uint32_t parse_int(const char *s, size_t n) {
    size_t i = 0;
    while (i < n && uint8_t(s[i]) <= ' ') i++;
    bool minus = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) minus = s[i++] == '-';
    uint32_t base = 10;
    if (n - i >= 2 && s[i] == '0') {
        if (s[i + 1] == 'x') base = 16;
        if (s[i + 1] == 'o') base = 8;
        if (s[i + 1] == 'b') base = 2;
        if (base != 10) i += 2;
    }
    uint32_t total = 0;
    for (; i < n; i++) {
        char c = s[i];
        uint32_t digit = c >= '0' && c <= '9'   ? uint32_t(c - '0')
                         : c >= 'a' && c <= 'z' ? uint32_t(c - 'a' + 10)
                         : c >= 'A' && c <= 'Z' ? uint32_t(c - 'A' + 10)
                                                : 99;
        if (digit >= base) break;
        total = total * base + digit;
    }
    return minus ? 0u - total : total;
}

bool has_line_break(const std::string &s) { return s.find_first_of("\r\n") != std::string::npos; }

}  // namespace

unsigned ini_get_int(const std::string &text, const char *section, const char *key, int def) {
    std::string want_key = trimmed(key);
    if (want_key.empty()) return unsigned(def);
    ini_text t;
    decode(text, &t);
    location loc = locate(t.chars, trimmed(section), want_key);
    if (!loc.key || !loc.has_value) return unsigned(def);
    const char *v = t.chars.data() + loc.value.b;
    size_t len = loc.value.e - loc.value.b;
    // A value wholly in matching quotes loses them. (Wine, when the quoted value
    // is exactly 31 characters long, drops its last digit as well; we do not.)
    if (len >= 2 && (v[0] == '"' || v[0] == '\'') && v[len - 1] == v[0]) {
        v++;
        len -= 2;
    }
    if (len == 0) return unsigned(def);
    // GetPrivateProfileIntA reads the value through a 30-character buffer.
    return parse_int(v, len < 29 ? len : 29);
}

bool ini_set_string(const std::string &text, const char *section, const char *key,
                    const char *value, std::string *out) {
    std::string sec = trimmed(section), name = trimmed(key), val = value;
    if (sec.empty() || name.empty() || name[0] == '[' || name.find('=') != std::string::npos ||
        sec.find(']') != std::string::npos || has_line_break(sec) || has_line_break(name) ||
        has_line_break(val))
        return false;
    size_t skip = 0;  // the value's leading blanks are not stored
    while (skip < val.size() && is_blank(val[skip])) skip++;
    val.erase(0, skip);

    ini_text t;
    decode(text, &t);
    location loc = locate(t.chars, sec, name);
    size_t begin, end;  // the characters of t.chars to replace
    std::string with;
    if (loc.key) {
        if (loc.has_value && t.chars.compare(loc.value.b, loc.value.e - loc.value.b, val) == 0) {
            *out = text;  // no change: the file is not rewritten
            return true;
        }
        begin = loc.line.b;
        end = loc.line.e;
        with = std::string(t.chars.substr(loc.name.b, loc.name.e - loc.name.b)) + "=" + val;
    } else if (loc.section) {
        begin = end = loc.insert_at;
        with = std::string(loc.insert_eol ? "\r\n" : "") + name + "=" + val + "\r\n";
    } else {
        begin = end = t.chars.size();
        bool open_line = begin > 0 && t.chars[begin - 1] != '\r' && t.chars[begin - 1] != '\n';
        with =
            std::string(open_line ? "\r\n" : "") + "[" + sec + "]\r\n" + name + "=" + val + "\r\n";
    }
    std::string result = text;
    result.replace(t.mark + begin * t.width, (end - begin) * t.width, encode(t, with));
    *out = std::move(result);
    return true;
}

