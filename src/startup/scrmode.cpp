// Run-mode selection: turns the raw command line into a mode and a window handle.
#include "startup/scrmode.h"

#include <climits>
#include <cstdint>

plat_window hWnd = nullptr;

static bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int32_t parse_handle(const char *s) {
    while (is_c_space(*s)) s++;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = (*s++ == '-');
    int64_t value = 0;
    for (; *s >= '0' && *s <= '9'; s++) {
        value = value * 10 + (*s - '0');
        if (value > int64_t(INT_MAX) + 1) value = int64_t(INT_MAX) + 1;  // saturate; stays small
    }
    if (negative) return int32_t(-value);  // -(INT_MAX + 1) is INT_MIN, in range
    return value > INT_MAX ? INT_MAX : int32_t(value);
}

static plat_window handle_from(const char *s) {
    // A window handle arrives as a number; turning it back into one is the point.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<plat_window>(intptr_t(parse_handle(s)));
}

static const char *skip_blanks_and_colons(const char *p) {
    while (*p == ' ' || *p == ':') p++;
    return p;
}

ScrMode parse_scr_mode(const char *cmdline, plat_window foreground, plat_window *handle) {
    const char *p = cmdline;
    // The program name: quoted (an unclosed quote eats the line) or up to a space.
    if (*p == '"') {
        p++;
        while (*p && *p != '"') p++;
    } else {
        while (*p && *p != ' ') p++;
    }
    if (*p) p++;
    while (*p == ' ') p++;

    if (!*p) {
        *handle = nullptr;
        return smConfig;
    }
    if (*p == '-' || *p == '/') p++;

    switch (*p) {
    case 'p':
    case 'P':
    case 'l':
    case 'L':
        *handle = handle_from(skip_blanks_and_colons(p + 1));
        return smPreview;
    case 's':
    case 'S':
        return smSaver;
    case 'c':
    case 'C':
        p = skip_blanks_and_colons(p + 1);
        *handle = *p ? handle_from(p) : foreground;
        return smConfig;
    case 'a':
    case 'A':
        *handle = handle_from(skip_blanks_and_colons(p + 1));
        return smPassword;
    default:
        return smNone;
    }
}

ScrMode GetScrMode() {
    return parse_scr_mode(plat_command_line(), plat_foreground_window(), &hWnd);
}
