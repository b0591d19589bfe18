// The Win32 half of the frame buffer: a top-down 32-bit DIB section whose pixels
// the core writes directly, held in a memory context that serves as copy source.
#include "framebuf/framebuf_win32.h"

#include "framebuf/framebuf.h"
#include "sim/dots.h"

HBITMAP ourbitmap;
HDC pDC;
HGDIOBJ old;

void init_framebuf() {
    HDC temp = CreateCompatibleDC(nullptr);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy;  // negative: the first row in memory is the top row
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    ourbitmap = CreateDIBSection(temp, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    framebuf = static_cast<uint32_t *>(bits);
    pDC = CreateCompatibleDC(nullptr);
    old = SelectObject(pDC, ourbitmap);
    DeleteDC(temp);
}

void deinit_framebuf() {
    SelectObject(pDC, old);
    DeleteDC(pDC);
    DeleteObject(ourbitmap);
    // Nothing may be drawn or copied after this, however many closes follow.
    framebuf = nullptr;
    ourbitmap = nullptr;
    pDC = nullptr;
    old = nullptr;
}
