// plix-screens.exe MODE: the reference programs of bench/screens.sh under Wine.
// A topmost popup over the whole virtual screen like the saver's, painted at
// every 10 ms timer tick the way the saver asks for its paints: "idle" paints
// nothing (BeginPaint and EndPaint only), "copy" copies a whole-screen DIB
// section to the window every time. Prints the paints of each second on
// stderr; a key or a button ends it.
#include <windows.h>

#include <cstdio>

static bool copy_mode;
static HDC picture_dc;
static int width, height;
static DWORD since;
static unsigned paints;

// One BGRA picture of the window's size, as the saver's frame buffer is.
static bool make_picture() {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    picture_dc = CreateCompatibleDC(nullptr);
    return bitmap && picture_dc && SelectObject(picture_dc, bitmap);
}

static void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (copy_mode) BitBlt(dc, 0, 0, width, height, picture_dc, 0, 0, SRCCOPY);
    EndPaint(window, &ps);
    paints++;
    const DWORD now = GetTickCount();
    if (now - since >= 1000) {
        fprintf(stderr, "plix-screens: %.1f paints per second\n",
                double(paints) * 1000.0 / double(now - since));
        fflush(stderr);
        paints = 0;
        since = now;
    }
}

static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_TIMER:
        InvalidateRgn(window, nullptr, FALSE);
        UpdateWindow(window);
        return 0;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR cmd, int) {
    copy_mode = lstrcmpA(cmd, "copy") == 0;
    if (!copy_mode && lstrcmpA(cmd, "idle") != 0) {
        fprintf(stderr, "usage: plix-screens.exe idle|copy\n");
        return 2;
    }
    SetProcessDPIAware();
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (copy_mode && !make_picture()) return 1;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = inst;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "plix-screens";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "plix-screens",
                                  WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                                  inst, nullptr);
    if (!window) return 1;
    since = GetTickCount();
    SetTimer(window, 1, 10, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
