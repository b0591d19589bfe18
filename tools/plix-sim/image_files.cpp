// The raw and PNG writers of plix-sim; the PNG encoder is a minimal one with
// stored deflate blocks, so neither build needs libpng or zlib.
#include "image_files.h"

#include <cstdio>
#include <cstring>

namespace {

uint32_t crc_table[256];

void make_crc_table() {
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crc_table[n] = c;
    }
}

uint32_t crc_update(uint32_t crc, const uint8_t *p, size_t n) {
    for (size_t i = 0; i < n; i++) crc = crc_table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

struct png_writer {
    FILE *f;
    bool ok;
    uint32_t adler_a, adler_b;  // Adler-32 of the uncompressed scanlines
    uint8_t block[65535];       // the largest stored deflate block
    size_t used;
};

void put(png_writer &w, const void *p, size_t n) {
    if (n && w.ok && fwrite(p, 1, n, w.f) != n) w.ok = false;
}

void put_be32(uint8_t *out, uint32_t v) {
    out[0] = uint8_t(v >> 24);
    out[1] = uint8_t(v >> 16);
    out[2] = uint8_t(v >> 8);
    out[3] = uint8_t(v);
}

// One chunk whose data is the concatenation of `head` and `body`.
void chunk(png_writer &w, const char *type, const uint8_t *head, size_t head_n, const uint8_t *body,
           size_t body_n) {
    uint8_t len[4];
    put_be32(len, uint32_t(head_n + body_n));
    put(w, len, 4);
    put(w, type, 4);
    put(w, head, head_n);
    put(w, body, body_n);
    uint32_t crc = crc_update(0xFFFFFFFFu, reinterpret_cast<const uint8_t *>(type), 4);
    crc = crc_update(crc, head, head_n);
    crc = crc_update(crc, body, body_n);
    uint8_t tail[4];
    put_be32(tail, crc ^ 0xFFFFFFFFu);
    put(w, tail, 4);
}

// Emits the collected bytes as one non-final stored block in its own IDAT chunk;
// the zlib header rides in front of the first.
void flush_block(png_writer &w, bool first) {
    uint8_t head[7];
    size_t n = 0;
    if (first) {
        head[n++] = 0x78;  // deflate, 32K window
        head[n++] = 0x01;  // no preset dictionary, fastest; (0x78 * 256 + 0x01) % 31 == 0
    }
    uint16_t len = uint16_t(w.used);
    head[n++] = 0x00;  // BFINAL 0, BTYPE 00 (stored)
    head[n++] = uint8_t(len);
    head[n++] = uint8_t(len >> 8);
    head[n++] = uint8_t(~len);
    head[n++] = uint8_t(uint16_t(~len) >> 8);
    chunk(w, "IDAT", head, n, w.block, w.used);
    w.used = 0;
}

}  // namespace

int write_raw(const char *path, const uint32_t *pixels, int width, int height) {
    FILE *f = fopen(path, "wb");
    if (!f) return -1;
    bool ok = true;
    uint8_t buf[4096];
    size_t n = 0;
    size_t total = size_t(width) * size_t(height);
    for (size_t i = 0; i < total && ok; i++) {
        uint32_t p = pixels[i];  // written byte by byte: little-endian on any host
        buf[n++] = uint8_t(p);
        buf[n++] = uint8_t(p >> 8);
        buf[n++] = uint8_t(p >> 16);
        buf[n++] = uint8_t(p >> 24);
        if (n == sizeof buf || i + 1 == total) {
            ok = fwrite(buf, 1, n, f) == n;
            n = 0;
        }
    }
    if (fclose(f) != 0) ok = false;
    return ok ? 0 : -1;
}

int write_png(const char *path, const uint32_t *pixels, int width, int height) {
    static png_writer w;  // 64 KiB of block buffer: kept off the stack
    make_crc_table();
    w.f = fopen(path, "wb");
    if (!w.f) return -1;
    w.ok = true;
    w.adler_a = 1;
    w.adler_b = 0;
    w.used = 0;
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    put(w, signature, 8);
    uint8_t ihdr[13];
    put_be32(ihdr, uint32_t(width));
    put_be32(ihdr + 4, uint32_t(height));
    ihdr[8] = 8;   // bits per sample
    ihdr[9] = 2;   // truecolour RGB
    ihdr[10] = 0;  // deflate
    ihdr[11] = 0;  // adaptive filtering (every row uses filter 0, none)
    ihdr[12] = 0;  // not interlaced
    chunk(w, "IHDR", ihdr, 13, nullptr, 0);

    bool first = true;
    auto emit = [&](uint8_t byte) {
        w.block[w.used++] = byte;
        w.adler_a = (w.adler_a + byte) % 65521;
        w.adler_b = (w.adler_b + w.adler_a) % 65521;
        if (w.used == sizeof w.block) {
            flush_block(w, first);
            first = false;
        }
    };
    for (int y = 0; y < height && w.ok; y++) {
        emit(0);  // filter type: none
        const uint32_t *row = pixels + size_t(y) * size_t(width);
        for (int x = 0; x < width; x++) {
            emit(uint8_t(row[x] >> 16));  // bits 16-23 are shown as red
            emit(uint8_t(row[x] >> 8));
            emit(uint8_t(row[x]));  // bits 0-7 as blue
        }
    }
    if (w.used || first) {
        flush_block(w, first);
        first = false;
    }
    // An empty final block, then the Adler-32 of the scanlines.
    uint8_t end[9] = {0x01, 0x00, 0x00, 0xFF, 0xFF};
    put_be32(end + 5, (w.adler_b << 16) | w.adler_a);
    chunk(w, "IDAT", end, sizeof end, nullptr, 0);
    chunk(w, "IEND", nullptr, 0, nullptr, 0);
    if (fclose(w.f) != 0) w.ok = false;
    return w.ok ? 0 : -1;
}
