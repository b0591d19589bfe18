// A plain Win32 window for the end-to-end tests: a known bright picture for the
// saver's chow mode to eat into, or just another window to take the activation.
// Usage: plix-e2e-window.exe TITLE [pattern|plain] [X Y W H]
// Prints each mouse button message it receives ("down 1", "up 1"; 1 left,
// 2 middle, 3 right), so a test can tell where a button event went.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static bool with_pattern = true;

// 32-pixel squares of white and yellow: bright, never produced by a black trail,
// and tied to screen position so a shifted copy would not pass for the original.
// Rounded down, so the squares stay 32 pixels left of (0, 0) too (a monitor left
// of the primary one has negative coordinates).
static int square(int v) { return v >= 0 ? v / 32 : -((31 - v) / 32); }
static COLORREF pattern_colour(int x, int y) {
    return ((square(x) + square(y)) & 1) ? RGB(255, 255, 0) : RGB(255, 255, 255);
}

static LRESULT CALLBACK window_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        RECT rc;
        GetClientRect(w, &rc);
        POINT origin = {0, 0};
        ClientToScreen(w, &origin);
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
        HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
        for (int y = 0; y < rc.bottom; y += 32)
            for (int x = 0; x < rc.right; x += 32) {
                // Squares follow screen coordinates; the window may start mid-square.
                int sx = origin.x + x, sy = origin.y + y;
                RECT sq = {x, y, x + 32, y + 32};
                HBRUSH b = !with_pattern ? grey
                           : pattern_colour(sx, sy) == RGB(255, 255, 0) ? yellow
                                                                        : white;
                FillRect(dc, &sq, b);
            }
        DeleteObject(white);
        DeleteObject(yellow);
        DeleteObject(grey);
        EndPaint(w, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
        bool down = msg == WM_LBUTTONDOWN || msg == WM_MBUTTONDOWN || msg == WM_RBUTTONDOWN;
        int button = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP)   ? 1
                     : (msg == WM_MBUTTONDOWN || msg == WM_MBUTTONUP) ? 2
                                                                      : 3;
        printf("%s %d\n", down ? "down" : "up", button);
        fflush(stdout);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(w);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

int main(int argc, char **argv) {
    const char *title = argc > 1 ? argv[1] : "Plix e2e window";
    if (argc > 2) with_pattern = strcmp(argv[2], "plain") != 0;
    int x = 0, y = 0, w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    if (argc > 6) {
        x = atoi(argv[3]);
        y = atoi(argv[4]);
        w = atoi(argv[5]);
        h = atoi(argv[6]);
    }
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "PlixE2EWindow";
    RegisterClassA(&wc);
    // A grid-aligned 32-pixel edge keeps the squares whole on the screen.
    HWND win = CreateWindowExA(0, wc.lpszClassName, title, WS_POPUP | WS_VISIBLE, x, y, w, h,
                               nullptr, nullptr, inst, nullptr);
    if (!win) return 1;
    SetForegroundWindow(win);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
