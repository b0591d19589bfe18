// The frame buffer on Win32: a top-down 32-bit DIB section whose pixels the core
// writes directly, held in a memory context that is the source of every copy.
#include <windows.h>

#include <cstdlib>

#include "platform/platform.h"
#include "platform/win32/win32_costs.h"

struct plat_bitmap_tag {
    HBITMAP ourbitmap;  // owns the pixels
    HDC pDC;            // memory context holding ourbitmap
    HGDIOBJ old;        // what pDC held before, put back on release
    RGNDATA *region;    // room for region_chunk rectangles as ExtCreateRegion takes them
};

// Wine's ExtCreateRegion adds one rectangle at a time, each union walking all
// those before it: n rectangles cost n * n. Regions of this many at most, joined
// pairwise with CombineRgn (each join walks both), keep it near n log n; joined
// one after another they still cost n * n / region_chunk (BENCHMARKS.md, "The
// three ways of copying").
constexpr int32_t region_chunk = 16;

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
    if (b->pDC && init_present_tiles(fb, width, height) == 0)
        b->region = static_cast<RGNDATA *>(
            malloc(sizeof(RGNDATAHEADER) + region_chunk * sizeof(RECT)));
    if (!b->region) {
        deinit_present_tiles(fb);
        if (b->pDC) DeleteDC(b->pDC);
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
        free(b->region);
        free(b);
    }
    deinit_present_tiles(fb);
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

// The region of rects[0 .. count), count > 0: a region_chunk at a time, the
// halves joined; null if one could not be made.
static HRGN region_of(RGNDATA *data, const pixel_rect *rects, int32_t count) {
    if (count > region_chunk) {
        const int32_t half = count / 2;
        HRGN first = region_of(data, rects, half);
        HRGN second = first ? region_of(data, rects + half, count - half) : nullptr;
        if (second) {
            CombineRgn(first, first, second, RGN_OR);
            DeleteObject(second);
        } else if (first) {
            DeleteObject(first);
            first = nullptr;
        }
        return first;
    }
    RECT *const out = reinterpret_cast<RECT *>(data->Buffer);
    RECT bound = {rects[0].left, rects[0].top, rects[0].right, rects[0].bottom};
    for (int32_t k = 0; k < count; k++) {
        const pixel_rect &r = rects[k];
        out[k] = {r.left, r.top, r.right, r.bottom};
        UnionRect(&bound, &bound, &out[k]);
    }
    const DWORD size = DWORD(count) * DWORD(sizeof(RECT));
    data->rdh = {sizeof(RGNDATAHEADER), RDH_RECTANGLES, DWORD(count), size, bound};
    return ExtCreateRegion(nullptr, DWORD(sizeof(RGNDATAHEADER) + data->rdh.nRgnSize), data);
}

void plat_copy_rects(plat_dc target, const frame_buffer *fb, const pixel_rect *rects,
                     int32_t count, const pixel_rect &bounds) {
    HRGN clip = count > 0 ? region_of(fb->bitmap->region, rects, count) : nullptr;
    HDC dc = reinterpret_cast<HDC>(target);
    // Without the region the copy of the bounds shows the same screen, only dearer.
    if (clip) SelectClipRgn(dc, clip);
    BitBlt(dc, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
           fb->bitmap->pDC, bounds.left, bounds.top, SRCCOPY);
    if (clip) {
        SelectClipRgn(dc, nullptr);
        DeleteObject(clip);
    }
}

present_costs plat_present_costs() { return win32_present_costs; }

// GDI copies within the call, so its time is the copy's. The table was fitted
// under Wine at the start of a run; the clock corrects it for this machine and
// for the frames of a spread field.
int64_t plat_present_clock() {
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0 && !QueryPerformanceFrequency(&frequency)) return -1;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    // Whole seconds and the rest apart: the product of the count would overflow.
    const int64_t f = frequency.QuadPart, count = now.QuadPart;
    return count / f * 1000000000 + count % f * 1000000000 / f;
}

void plat_capture_screen(frame_buffer *fb, int32_t x, int32_t y) {
    if (!fb->bitmap) return;
    HDC screen = GetDC(nullptr);
    BitBlt(fb->bitmap->pDC, 0, 0, fb->width, fb->height, screen, x, y, SRCCOPY);
    ReleaseDC(nullptr, screen);
}
