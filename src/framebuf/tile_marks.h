// Scans of a row of tile marks (each 0 or 1), eight marks at a time: shared by
// the presentation's merge of the frame's tiles and by the screen in memory,
// which gives the web page the tiles its copies touched.
#pragma once
#include <cstdint>
#include <cstring>

// Eight tiles' marks as one word, the first tile's in the low byte: the lowest
// set byte is the first tile that differs.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "tile marks are read eight at a time");
constexpr uint64_t eight_marked = 0x0101010101010101u;
inline uint64_t eight_marks(const uint8_t *row) {
    uint64_t eight;
    memcpy(&eight, row, 8);
    return eight;
}

// The first tile from `tx` on, before `end`, whose mark is `marked`; `end` if none.
// Most of a sparse grid is unmarked, and most of a dense one marked.
template <bool marked>
int32_t next_tile(const uint8_t *row, int32_t tx, int32_t end) {
    for (; tx + 8 <= end; tx += 8) {
        const uint64_t differ = eight_marks(row + tx) ^ (marked ? 0 : eight_marked);
        if (differ) return tx + (__builtin_ctzll(differ) >> 3);
    }
    while (tx < end && (row[tx] != 0) != marked) tx++;
    return tx;
}

// One past the last marked tile before `end` from `first` on; `first` if none.
inline int32_t past_last_marked(const uint8_t *row, int32_t first, int32_t end) {
    for (; end - 8 >= first; end -= 8) {
        const uint64_t eight = eight_marks(row + end - 8);
        if (eight) return end - 8 + ((63 - __builtin_clzll(eight)) >> 3) + 1;
    }
    while (end > first && !row[end - 1]) end--;
    return end;
}
