// Command-line values shared by the native programs.
#include "common/arguments.h"

#include <cstring>

bool parse_number(const char *s, long long lo, long long hi, long long *out) {
    const char *p = s;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        v = v * 10 + (*p - '0');
        if (v > 4294967296LL) return false;  // far outside every range used here
    }
    if (*p) return false;
    if (negative) v = -v;
    if (v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool parse_size(const char *s, int *w, int *h) {
    const char *x = strchr(s, 'x');
    if (!x || x == s) return false;
    char width[16];
    size_t n = size_t(x - s);
    if (n >= sizeof width) return false;
    memcpy(width, s, n);
    width[n] = '\0';
    long long a, b;
    // Digits only: no sign.
    if (width[0] < '0' || width[0] > '9' || x[1] < '0' || x[1] > '9') return false;
    if (!parse_number(width, 1, 32767, &a) || !parse_number(x + 1, 1, 32767, &b)) return false;
    *w = int(a);
    *h = int(b);
    return true;
}
