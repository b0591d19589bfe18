// Whether one clipped copy (plat_copy_rects) shows exactly its rectangles on a
// real window: the picture shown whole in one colour, then changed to another
// inside `count` scattered tiles and copied through the region of them; read
// back, the window must show the new colour in the tiles and the old one
// everywhere else. Counts below, at and well above the region's chunk of 16.
// Prints "ok" or the first wrong pixel; exit status 0 when all counts were right.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "framebuf/framebuf.h"

int main() {
    const int w = 320, h = 240;
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "plix present probe", WS_POPUP | WS_VISIBLE,
                                  0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
    frame_buffer fb = {};
    if (!window || init_framebuf(&fb, w, h) != 0) return printf("no window or picture\n"), 2;
    HDC dc = GetDC(window);
    const plat_dc target = reinterpret_cast<plat_dc>(dc);
    // The read-back: the window's pixels copied into a DIB of our own.
    HDC back_dc = CreateCompatibleDC(dc);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    SelectObject(back_dc, CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const uint32_t *shown = static_cast<const uint32_t *>(bits);
    int status = 0;
    for (int count : {1, 16, 17, 100, 150}) {
        for (int k = 0; k < w * h; k++) fb.pixels[k] = 0x204080;
        present_whole(target, &fb);
        // Tiles in a scattered order of rows and columns, none twice.
        std::vector<pixel_rect> rects;
        for (int k = 0; int(rects.size()) < count; k++) {
            const int tile = k * 37 % 300, x = tile % 20 * 16, y = tile / 20 * 16;
            rects.push_back({x, y, x + 16, y + 16});
            for (int yy = y; yy < y + 16; yy++)
                for (int xx = x; xx < x + 16; xx++) fb.pixels[yy * w + xx] = 0xF0E0D0;
        }
        plat_copy_rects(target, &fb, rects.data(), count, {0, 0, w, h});
        GdiFlush();
        BitBlt(back_dc, 0, 0, w, h, dc, 0, 0, SRCCOPY);
        for (int k = 0; k < w * h && status == 0; k++)
            if ((shown[k] & 0xFFFFFF) != fb.pixels[k]) {
                printf("%d tiles: pixel %d,%d shows %06x, the picture %06x\n", count, k % w, k / w,
                       unsigned(shown[k] & 0xFFFFFF), unsigned(fb.pixels[k]));
                status = 1;
            }
    }
    if (status == 0) printf("ok\n");
    deinit_framebuf(&fb);
    return status;
}
