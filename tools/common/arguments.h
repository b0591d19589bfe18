// Values on the command lines of the native programs (plix-sim, plix): whole
// decimal numbers within a range and WxH sizes, nothing looser.
#pragma once

// A whole decimal number within lo..hi, optionally signed; nothing else.
bool parse_number(const char *s, long long lo, long long hi, long long *out);

// "WxH" with each side a plain decimal 1..32767 (trail points are 16-bit).
bool parse_size(const char *s, int *w, int *h);
