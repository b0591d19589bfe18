// The frame buffer on Win32: a top-down 32-bit DIB section whose pixels the core
// writes directly, held in a memory context that is the source of every copy.
#include <windows.h>

#include <cstdlib>

#include "platform/platform.h"

struct plat_bitmap_tag {
    HBITMAP ourbitmap;  // owns the pixels
    HDC pDC;            // memory context holding ourbitmap
    HGDIOBJ old;        // what pDC held before, put back on release
};

int init_framebuf(frame_buffer *fb, int32_t width, int32_t height) {
    *fb = {};
    auto *b = static_cast<plat_bitmap_tag *>(calloc(1, sizeof(plat_bitmap_tag)));
    if (!b) return 1;
    HDC temp = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: the first row in memory is the top row
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    // A DIB section's memory starts zeroed: the picture is black.
    b->ourbitmap = CreateDIBSection(temp, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    DeleteDC(temp);
    if (b->ourbitmap) b->pDC = CreateCompatibleDC(nullptr);
    if (!b->pDC) {
        if (b->ourbitmap) DeleteObject(b->ourbitmap);
        free(b);
        return 1;
    }
    b->old = SelectObject(b->pDC, b->ourbitmap);
    fb->pixels = static_cast<uint32_t *>(bits);
    fb->width = width;
    fb->height = height;
    fb->bitmap = b;
    return 0;
}

void deinit_framebuf(frame_buffer *fb) {
    plat_bitmap_tag *b = fb->bitmap;
    if (b) {
        SelectObject(b->pDC, b->old);
        DeleteDC(b->pDC);
        DeleteObject(b->ourbitmap);
        free(b);
    }
    // Nothing may be drawn or copied after this, however many closes follow.
    fb->bitmap = nullptr;
    fb->pixels = nullptr;
    fb->width = fb->height = 0;
}

void plat_copy_pixel(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y) {
    BitBlt(reinterpret_cast<HDC>(target), x, y, 1, 1, fb->bitmap->pDC, x, y, SRCCOPY);
}

void plat_copy_rect(plat_dc target, const frame_buffer *fb, int32_t x, int32_t y, int32_t w,
                    int32_t h) {
    BitBlt(reinterpret_cast<HDC>(target), x, y, w, h, fb->bitmap->pDC, x, y, SRCCOPY);
}

void plat_capture_screen(frame_buffer *fb, int32_t x, int32_t y) {
    if (!fb->bitmap) return;
    HDC screen = GetDC(nullptr);
    BitBlt(fb->bitmap->pDC, 0, 0, fb->width, fb->height, screen, x, y, SRCCOPY);
    ReleaseDC(nullptr, screen);
}
