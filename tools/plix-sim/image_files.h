// Writing the screen in memory to files: the raw frame-buffer words, or a PNG of
// what the saver window would show. Both return 0, or -1 with errno-style
// detail left in errno when the file cannot be written.
#pragma once
#include <cstdint>

// width * height little-endian 32-bit pixels, top row first, nothing else.
int write_raw(const char *path, const uint32_t *pixels, int width, int height);

// An 8-bit RGB PNG, bits 16-23 of a pixel as red, 8-15 green, 0-7 blue. The
// image data goes in uncompressed (stored) deflate blocks: no zlib needed, and
// the native and Windows builds write the same bytes.
int write_png(const char *path, const uint32_t *pixels, int width, int height);
