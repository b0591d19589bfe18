// The saver window: a topmost popup over the whole screen, one frame per 10 ms
// timer tick, ended by the first key, button, mouse movement or deactivation.
#include <windows.h>

#include <cstdlib>

#include "framebuf/framebuf.h"
#include "saver/saver.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"
#include "startup/scrmode.h"

const char progname[] = "Plix screensaver";
POINT InitCursorPos;
POINT CursorPos;
UINT oldval;

static const UINT_PTR frame_timer = 1;
static const int cursor_slack = 5;  // pixels the cursor may drift before the saver ends

// The saver window's state.
static struct {
    frame_buffer frame;
    bool close_posted;  // something ended the saver; its close request is queued
    bool closed;        // the first close request has been handled
    bool released;      // the frame buffer is gone (only once, however many closes)
    bool painting;      // inside render: a close sent meanwhile must not free the picture
    bool shown;         // the first paint has shown the whole picture
} saver;

static void post_close(HWND window) {
    saver.close_posted = true;
    PostMessageA(window, WM_CLOSE, 0, 0);
}

static void release_framebuf() {
    if (saver.released) return;
    saver.released = true;
    deinit_framebuf(&saver.frame);
}

static void close_saver(HWND window) {
    saver.closed = true;
    if (!saver.painting) release_framebuf();
    PostQuitMessage(0);
    KillTimer(window, frame_timer);
}

static bool cursor_moved_away() {
    GetCursorPos(&CursorPos);
    // Against the position at creation, not the last one: slow drift adds up.
    return abs(CursorPos.x - InitCursorPos.x) > cursor_slack ||
           abs(CursorPos.y - InitCursorPos.y) > cursor_slack;
}

// Asked by render inside a frame that takes long (huge settings), so that
// whatever ends the saver ends it within a frame's fraction. PeekMessage handles
// the messages sent to the window meanwhile (activation changes come that way,
// and their handling posts the close); the queue is looked at, not emptied.
static int saver_ending() {
    MSG m;
    bool ending = PeekMessageA(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) ||
                  PeekMessageA(&m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE) ||
                  PeekMessageA(&m, nullptr, WM_RBUTTONDOWN, WM_RBUTTONDOWN, PM_NOREMOVE) ||
                  PeekMessageA(&m, nullptr, WM_MBUTTONDOWN, WM_MBUTTONDOWN, PM_NOREMOVE) ||
                  saver.close_posted || saver.closed || cursor_moved_away();
    // The rest of the frame goes undrawn: make sure the saver does end.
    if (ending) post_close(reinterpret_cast<HWND>(hWnd));
    return ending ? 1 : 0;
}

static void paint(HWND window) {
    PAINTSTRUCT ps;
    // Begin/EndPaint even when nothing is drawn: they validate the region, or the
    // platform would keep asking for this paint.
    HDC dc = BeginPaint(window, &ps);
    if (saver.frame.pixels && !saver.closed) {
        plat_dc target = reinterpret_cast<plat_dc>(dc);
        if (!saver.shown) {
            // The whole picture once: black, or in chow mode the captured screen
            // (a composited desktop shows black or garbage behind an unerased
            // window). From here on the window equals the picture everywhere,
            // which lets a frame be presented as one rectangle.
            present_whole(target, &saver.frame);
            saver.shown = true;
        }
        saver.painting = true;
        render(target, &saver.frame, saver_ending);
        saver.painting = false;
        if (saver.closed) release_framebuf();
    }
    EndPaint(window, &ps);
}

static LRESULT CALLBACK winproc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        SetTimer(window, frame_timer, 10, nullptr);
        GetCursorPos(&InitCursorPos);
        SetCursor(nullptr);
        // Without a picture nothing is drawn; the saver still ends as usual.
        if (init_framebuf(&saver.frame, cx, cy) == 0) {
            saver.frame.dirty_dot = dirty_dot;
            // While the window is still hidden (WS_VISIBLE takes effect after
            // this message): the picture the dots are to eat into.
            if (chow) plat_capture_screen(&saver.frame, 0, 0);
        }
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
        if (cursor_moved_away()) post_close(window);
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
        release_framebuf();
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
