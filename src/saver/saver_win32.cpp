// The saver window: a topmost popup over the whole screen, one frame per 10 ms
// timer tick, ended by the first key, button, mouse movement or deactivation.
#include <windows.h>

#include <cstdlib>

#include "framebuf/framebuf.h"
#include "framebuf/framebuf_win32.h"
#include "saver/saver.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"
#include "startup/scrmode.h"

const char progname[] = "Plix screensaver";
POINT InitCursorPos;
POINT CursorPos;
UINT oldval;

// The frame buffer goes at the first close request; the ones queued behind it
// must not release it again.
static bool framebuf_released;
// In chow mode the first paint shows the screen picture captured at creation.
static bool background_shown;

static const UINT_PTR frame_timer = 1;
static const int cursor_slack = 5;  // pixels the cursor may drift before the saver ends

static void post_close(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

static void close_saver(HWND window) {
    if (!framebuf_released) {
        framebuf_released = true;
        deinit_framebuf();
    }
    PostQuitMessage(0);
    KillTimer(window, frame_timer);
}

// Copies what the screen shows now into the frame buffer. Called while the window
// is still hidden (WS_VISIBLE takes effect only after the creation message), so
// the picture is the one the dots are to eat into.
static void capture_screen() {
    if (!framebuf) return;
    HDC screen = GetDC(nullptr);
    BitBlt(pDC, 0, 0, cx, cy, screen, 0, 0, SRCCOPY);
    ReleaseDC(nullptr, screen);
}

static void paint(HWND window) {
    PAINTSTRUCT ps;
    // Begin/EndPaint even when nothing is drawn: they validate the region, or the
    // platform would keep asking for this paint.
    HDC dc = BeginPaint(window, &ps);
    if (framebuf) {
        if (chow && !background_shown) {
            // A composited desktop shows black or garbage behind an unerased
            // window, so the captured picture is painted rather than relied upon.
            BitBlt(dc, 0, 0, cx, cy, pDC, 0, 0, SRCCOPY);
            background_shown = true;
        }
        render(reinterpret_cast<plat_dc>(dc), framebuf);
    }
    EndPaint(window, &ps);
}

static LRESULT CALLBACK winproc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        SetTimer(window, frame_timer, 10, nullptr);
        GetCursorPos(&InitCursorPos);
        SetCursor(nullptr);
        init_framebuf();
        if (chow) capture_screen();
        break;
    case WM_DESTROY:
    case WM_CLOSE:
        // Closing does not destroy the window: it stays until the process ends.
        close_saver(window);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) post_close(window);
        break;
    case WM_PAINT:
        paint(window);
        break;
    case WM_ACTIVATEAPP:
    case WM_NCACTIVATE:
        if (LOWORD(wParam) == 0) post_close(window);
        break;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        post_close(window);
        break;
    case WM_TIMER:
        InvalidateRgn(window, nullptr, FALSE);
        UpdateWindow(window);
        break;
    case WM_MOUSEMOVE:
        // Against the position at creation, not the last one: slow drift adds up.
        GetCursorPos(&CursorPos);
        if (abs(CursorPos.x - InitCursorPos.x) > cursor_slack ||
            abs(CursorPos.y - InitCursorPos.y) > cursor_slack)
            post_close(window);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int saver_run(plat_instance instance) {
    HINSTANCE inst = reinterpret_cast<HINSTANCE>(instance);

    // Restored at the end: setting it inactive regardless would switch the user's
    // screen saver off for the rest of the session.
    BOOL was_active = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &was_active, 0);

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = winproc;
    wc.hInstance = inst;
    // No erase in chow mode: the first paint shows the captured screen instead.
    wc.hbrBackground = chow ? nullptr : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = progname;
    RegisterClassExA(&wc);

    HWND window = CreateWindowExA(WS_EX_TOPMOST, progname, progname, WS_POPUP | WS_VISIBLE, 0, 0,
                                  cx, cy, nullptr, nullptr, inst, nullptr);
    if (!window) {
        // Nothing would ever post the quit message: end now instead of waiting.
        if (!framebuf_released) {
            framebuf_released = true;
            deinit_framebuf();
        }
        free_dots();
        return 1;
    }
    hWnd = reinterpret_cast<plat_window>(window);

    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, &oldval, 0);

    MSG msg;
    // -1 (an error) counts as non-zero and keeps the loop going.
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, was_active ? 1 : 0, &oldval, 0);
    // Wine's X11 driver queues the change to the X server's own screen saver and
    // may drop it when the process ends straight after; reading the state back is
    // a round trip that delivers it. Harmless elsewhere.
    BOOL restored = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &restored, 0);
    free_dots();
    return int(msg.wParam);
}
