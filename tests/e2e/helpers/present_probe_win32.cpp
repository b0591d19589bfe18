// Whether one clipped copy (plat_copy_rects) shows exactly its rectangles on a
// real window: the picture shown whole in one colour, then changed to another
// inside `count` scattered tiles and copied through the region of them; read
// back from the window, it must show the new colour in the tiles and the old
// one everywhere else. Counts below, at and well above the region's
// chunk of 16. Prints "ok" (exit status 0) or the first wrong pixel.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "framebuf/framebuf.h"

int main() {
    const int w = 320, h = 240;
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "plix present probe", WS_POPUP | WS_VISIBLE,
                                  0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
    frame_buffer fb = {};
    if (!window || init_framebuf(&fb, w, h)) return printf("no window or picture\n"), 2;
    HDC dc = GetDC(window), back = CreateCompatibleDC(dc);
    const plat_dc target = reinterpret_cast<plat_dc>(dc);
    // The window read back through its own context into a DIB of ours (Wine's
    // screen context gave black here).
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void *bits = nullptr;
    SelectObject(back, CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const uint32_t *const shown = static_cast<const uint32_t *>(bits);
    for (int count : {1, 16, 17, 100, 150}) {
        std::fill(fb.pixels, fb.pixels + w * h, 0x204080u);
        present_whole(target, &fb);
        std::vector<pixel_rect> rects;  // tiles in a scattered order, none twice
        for (int k = 0; int(rects.size()) < count; k++) {
            const int tile = k * 37 % 300, x = tile % 20 * 16, y = tile / 20 * 16;
            rects.push_back({x, y, x + 16, y + 16});
            for (int row = y; row < y + 16; row++)
                std::fill(fb.pixels + row * w + x, fb.pixels + row * w + x + 16, 0xF0E0D0u);
        }
        plat_copy_rects(target, &fb, rects.data(), count, {0, 0, w, h});
        GdiFlush();
        BitBlt(back, 0, 0, w, h, dc, 0, 0, SRCCOPY);
        for (int k = 0; k < w * h; k++)
            if ((shown[k] & 0xFFFFFF) != fb.pixels[k])
                return printf("%d tiles: pixel %d,%d shows %06x, the picture %06x\n", count, k % w,
                              k / w, unsigned(shown[k] & 0xFFFFFF), unsigned(fb.pixels[k])), 1;
    }
    printf("ok\n");
    return 0;
}
