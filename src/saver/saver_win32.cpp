// The saver window: a topmost popup over the whole virtual screen (every
// monitor), one frame per 10 ms timer tick, ended by the first key, button,
// mouse movement or deactivation; it follows the virtual screen when monitors
// come and go. And the preview: a child of the host's window showing the same
// frames, following the host's size, ended when it or its parent goes away.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framebuf/framebuf.h"
#include "saver/saver.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"
#include "startup/scrmode.h"

const char progname[] = "Plix screensaver";
static const char preview_class[] = "Plix preview";
POINT InitCursorPos;
POINT CursorPos;
UINT oldval;

constexpr UINT_PTR frame_timer = 1;
constexpr UINT frame_ms = 10;
constexpr int cursor_slack = 5;  // pixels the cursor may drift before the saver ends
// A shrinking screen moves the cursor before the system reports the new screen
// (under Wine 17 to 96 ms before, measured). A move beyond the slack therefore
// ends the saver only this much later, unless a change of the screen came
// meanwhile and re-measured the cursor.
constexpr DWORD move_grace_ms = 300;
// Under Wine each GetSystemMetrics of the virtual screen, PeekMessage and
// GetCursorPos is a round trip to its server, 25 to 100 us of processor time
// (docs/benchmarks-history.md, "The saver's calls around a frame"): per tick
// they cost more than a frame at the defaults. The virtual screen, a safety net
// behind WM_DISPLAYCHANGE, is asked at most this often; a frame asks whether to
// stop only once it has run this long.
constexpr DWORD screen_poll_ms = 100;
constexpr DWORD stop_check_after_ms = 10;

// The window's state: the saver's or the preview's (a process shows one).
static struct {
    frame_buffer frame;
    frame_stop_check stop;  // asked during long frames whether the window is ending
    screen_rect area;       // what the window covers, in screen coordinates (chow captures it)
    HWND window;
    // The preview's parent.
    HWND host;
    bool close_posted;  // something ended the saver; its close request is queued
    bool closed;        // the first close request has been handled
    bool released;      // the frame buffer is gone (only once, however many closes)
    bool painting;      // inside render: a close sent meanwhile must not free the picture
    bool shown;         // the first paint has shown the whole picture
    bool refit_due;     // the screen changed during a frame: follow it after the frame
    bool move_pending;  // the cursor went beyond the slack at moved_at, not yet confirmed
    DWORD moved_at;
    DWORD screen_polled_at;  // the tick count when the virtual screen was last asked
    DWORD frame_started_at;
    int32_t frames_ahead;  // the saver's first picture only, then 0
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

static void unwatch_display();

static void close_saver(HWND window) {
    saver.closed = true;
    unwatch_display();
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

// Whether the cursor went beyond the slack at least move_grace_ms ago, the
// screen having stayed as it was.
static bool cursor_left() {
    if (!saver.move_pending) {
        if (!cursor_moved_away()) return false;
        saver.move_pending = true;
        saver.moved_at = GetTickCount();
    }
    return GetTickCount() - saver.moved_at >= move_grace_ms;
}

static void follow_screen(HWND window);

// follow_screen, at most every screen_poll_ms.
static void poll_screen(HWND window) {
    const DWORD now = GetTickCount();
    if (now - saver.screen_polled_at < screen_poll_ms) return;
    saver.screen_polled_at = now;
    follow_screen(window);
}

// Asked by render inside a frame that takes long (huge settings), so that
// whatever ends the saver ends it within a frame's fraction. PeekMessage handles
// the messages sent to the window meanwhile (activation changes come that way,
// and their handling posts the close); the queue is looked at, not emptied.
static int saver_ending() {
    // First: a shrinking screen may have moved the cursor before its message came.
    poll_screen(saver.window);
    MSG m;
    bool ending = PeekMessageA(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) ||
                  PeekMessageA(&m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE) ||
                  PeekMessageA(&m, nullptr, WM_RBUTTONDOWN, WM_RBUTTONDOWN, PM_NOREMOVE) ||
                  PeekMessageA(&m, nullptr, WM_MBUTTONDOWN, WM_MBUTTONDOWN, PM_NOREMOVE) ||
                  saver.close_posted || saver.closed || cursor_left();
    // The rest of the frame goes undrawn: make sure the saver does end.
    if (ending) post_close(reinterpret_cast<HWND>(hWnd));
    return ending ? 1 : 0;
}

// The preview's stop check, also asked on every tick. The host ends a preview by
// closing or destroying our window, or by destroying its own (the parent); the
// peek also handles the messages sent meanwhile, the destruction among them.
static int preview_ending() {
    MSG m;
    if (PeekMessageA(&m, nullptr, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) || saver.closed) return 1;
    if (IsWindow(saver.host)) return 0;
    // Without its parent our window may live on, invisible: end it ourselves.
    if (!saver.close_posted) post_close(saver.window);
    return 1;
}

// The display's power state (GUID_CONSOLE_DISPLAY_STATE). While the display is
// off nobody sees the field: no frame timer runs and nothing is drawn, and the
// field goes on from where it stopped once the display is on or dimmed again.
// The window asks for these messages where the system has the call (Vista and
// later; looked up at run time, so older systems still run the saver), but acts
// on any such message that arrives. Nothing here asks to keep the display on.
static const GUID display_state_setting = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr DWORD display_off = 0, display_dimmed = 2;
// While the display is off, a cursor move beyond the slack is confirmed by this
// one-off timer instead of the frame ticks.
constexpr UINT_PTR grace_timer = 2;

static struct {
    HANDLE notify;  // the registration, ended with the window
    bool off;
} display;

static FARPROC user32_proc(const char *name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? GetProcAddress(user32, name) : nullptr;
}

static void watch_display(HWND window) {
    using register_fn = HANDLE(WINAPI *)(HANDLE, const GUID *, DWORD);
    auto reg = reinterpret_cast<register_fn>(
        reinterpret_cast<void *>(user32_proc("RegisterPowerSettingNotification")));
    if (reg) display.notify = reg(window, &display_state_setting, DEVICE_NOTIFY_WINDOW_HANDLE);
}

static void unwatch_display() {
    if (!display.notify) return;
    using unregister_fn = BOOL(WINAPI *)(HANDLE);
    auto unreg = reinterpret_cast<unregister_fn>(
        reinterpret_cast<void *>(user32_proc("UnregisterPowerSettingNotification")));
    if (unreg) unreg(display.notify);
    display.notify = nullptr;
}

// Whether the `size` bytes at `start` are committed memory this process may
// read: a message's pointer is checked before it is followed.
static bool readable(const char *start, size_t size) {
    const DWORD read_access = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const uintptr_t first = reinterpret_cast<uintptr_t>(start);
    if (!start || first + size < first) return false;
    for (const char *at = start; size_t(at - start) < size;) {
        MEMORY_BASIC_INFORMATION info;
        if (!VirtualQuery(at, &info, sizeof(info)) || info.State != MEM_COMMIT ||
            !(info.Protect & read_access) || (info.Protect & PAGE_GUARD))
            return false;
        at = static_cast<const char *>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

// The display state a WM_POWERBROADCAST carries (off, on or dimmed), or -1 for
// another event or setting, a length that is not a DWORD's, or an unknown state.
static int display_state(WPARAM event, LPARAM data) {
    if (event != PBT_POWERSETTINGCHANGE) return -1;
    // The message's parameter is the setting's address.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    const char *at = reinterpret_cast<const char *>(data);
    const size_t head = offsetof(POWERBROADCAST_SETTING, Data);
    if (!readable(at, head + sizeof(DWORD))) return -1;
    POWERBROADCAST_SETTING setting;
    memcpy(&setting, at, head);
    if (memcmp(&setting.PowerSetting, &display_state_setting, sizeof(GUID)) != 0 ||
        setting.DataLength != sizeof(DWORD))
        return -1;
    DWORD state;
    memcpy(&state, at + head, sizeof(state));
    return state <= display_dimmed ? int(state) : -1;
}

static void follow_display(HWND window, WPARAM event, LPARAM data) {
    const int state = display_state(event, data);
    if (state < 0 || saver.closed) return;
    if (state == int(display_off)) {
        if (display.off) return;
        display.off = true;
        KillTimer(window, frame_timer);
        if (saver.move_pending) SetTimer(window, grace_timer, move_grace_ms, nullptr);
    } else if (display.off) {
        // No frames are made up: the dots go on from their last places.
        display.off = false;
        KillTimer(window, grace_timer);
        saver.shown = false;  // the next paint shows the whole picture
        SetTimer(window, frame_timer, frame_ms, nullptr);
        InvalidateRect(window, nullptr, FALSE);
    }
}

// The picture of the field's size, shown whole at the next paint. In chow mode
// it starts as what the screen shows over the window's area: the picture the
// dots are to eat into. Without a picture nothing is drawn; the window still
// ends as usual.
static void make_picture() {
    saver.shown = false;
    new_picture(&saver.frame, cx, cy, dirty_dot, chow, saver.area.x, saver.area.y);
}

// WM_CREATE: the tick, and the picture, taken while the window is still hidden
// (WS_VISIBLE takes effect after WM_CREATE).
static void start_frames(HWND window) {
    SetTimer(window, frame_timer, frame_ms, nullptr);
    make_picture();
    if (saver.frame.pixels) render_frames_ahead(&saver.frame, saver.frames_ahead);
    saver.frames_ahead = 0;
    watch_display(window);
}

// What the window is to cover now: the virtual screen, or the host's client area.
static screen_rect wanted_area() {
    if (!saver.host) return plat_virtual_screen();
    RECT client = {};
    POINT origin = {0, 0};
    GetClientRect(saver.host, &client);
    ClientToScreen(saver.host, &origin);
    return {origin.x, origin.y, client.right, client.bottom};
}

// In chow mode: where the new picture `to` (over screen area `now`) and the old
// one `from` (over `was`) overlap, the old one's pixels, which is what the
// window showed there. Read back from the screen instead, Wine at times gives
// black for our own window while the display changes.
static void keep_overlap(frame_buffer *to, const screen_rect &now, const frame_buffer *from,
                         const screen_rect &was) {
    if (!to->pixels || !from->pixels) return;
    const int left = std::max(now.x, was.x), top = std::max(now.y, was.y);
    const int right = std::min(now.x + to->width, was.x + from->width);
    const int bottom = std::min(now.y + to->height, was.y + from->height);
    for (int y = top; y < bottom && left < right; y++)
        memcpy(to->pixels + size_t(y - now.y) * size_t(to->width) + size_t(left - now.x),
               from->pixels + size_t(y - was.y) * size_t(from->width) + size_t(left - was.x),
               size_t(right - left) * 4);
}

// Monitors came, went or moved, or the host resized its window: the window is
// made to cover the new area and the dots go on within it, on a new picture.
// Inside a frame (its stop check handles sent messages, WM_DISPLAYCHANGE among
// them) the picture is in use: that waits for the frame's end.
static void follow_screen(HWND window) {
    if (saver.closed) return;
    const screen_rect a = wanted_area();
    const bool shifted = a.x != saver.area.x || a.y != saver.area.y;
    const bool resized = a.width != saver.area.width || a.height != saver.area.height;
    // Moving the host's window moves the preview with it.
    if (!resized && (!shifted || saver.host)) {
        saver.area = a;
        return;
    }
    // The system may have moved the cursor onto what is left of the screen:
    // that is no user's doing.
    if (!saver.host) {
        GetCursorPos(&InitCursorPos);
        saver.move_pending = false;
    }
    if (saver.painting) {
        saver.refit_due = true;
        return;
    }
    saver.refit_due = false;
    const screen_rect was = saver.area;
    frame_buffer old = saver.frame;
    saver.area = a;
    refit_field(a.width, a.height);
    // Taken before the window moves, so the dots go on eating into what the
    // screen showed: the old picture where the window lay, the desktop elsewhere.
    make_picture();
    if (chow) keep_overlap(&saver.frame, a, &old, was);
    deinit_framebuf(&old);
    if (saver.host)
        SetWindowPos(window, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    else
        SetWindowPos(window, HWND_TOPMOST, a.x, a.y, cx, cy, SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, FALSE);
}

// What render asks during a frame: saver.stop, once the frame has run
// stop_check_after_ms (a short frame is followed by the message loop anyway).
static int long_frame_stop() {
    return GetTickCount() - saver.frame_started_at >= stop_check_after_ms ? saver.stop() : 0;
}

static void paint(HWND window) {
    PAINTSTRUCT ps;
    // Begin/EndPaint even when nothing is drawn: they validate the region, or the
    // platform would keep asking for this paint.
    HDC dc = BeginPaint(window, &ps);
    if (saver.frame.pixels && !saver.closed && !display.off) {
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
        saver.frame_started_at = GetTickCount();
        render(target, &saver.frame, long_frame_stop);
        saver.painting = false;
        if (saver.closed) release_framebuf();
    }
    EndPaint(window, &ps);
    if (saver.refit_due) follow_screen(window);
}

static void next_frame(HWND window) {
    InvalidateRgn(window, nullptr, FALSE);
    UpdateWindow(window);
}

static LRESULT CALLBACK winproc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        GetCursorPos(&InitCursorPos);
        SetCursor(nullptr);
        start_frames(window);
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
    case WM_DISPLAYCHANGE:
        follow_screen(window);
        break;
    case WM_POWERBROADCAST:
        follow_display(window, wParam, lParam);
        return TRUE;
    case WM_TIMER:
        if (wParam == grace_timer) {
            KillTimer(window, grace_timer);
            if (cursor_left()) post_close(window);
            break;
        }
        // Also here: whatever else the system sends when monitors change, the
        // virtual screen says it.
        poll_screen(window);
        if (saver.move_pending && cursor_left()) post_close(window);
        next_frame(window);
        break;
    case WM_MOUSEMOVE:
        // A shrinking screen moves the cursor, and its move may come first.
        follow_screen(window);
        if (cursor_left())
            post_close(window);
        else if (saver.move_pending && display.off)
            SetTimer(window, grace_timer, move_grace_ms, nullptr);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The input is the host's: the preview only draws, and ends with its window.
static LRESULT CALLBACK preview_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        start_frames(window);
        break;
    case WM_DESTROY:
        close_saver(window);
        return 0;
    case WM_PAINT:
        paint(window);
        break;
    case WM_POWERBROADCAST:
        follow_display(window, wParam, lParam);
        return TRUE;
    case WM_TIMER:
        if (preview_ending()) break;
        // A child window is not told when its parent's size changes.
        follow_screen(window);
        next_frame(window);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static void register_class(HINSTANCE inst, const char *name, WNDPROC proc) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = inst;
    // No erase in chow mode: the first paint shows the captured screen instead.
    wc.hbrBackground = chow ? nullptr : static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

// The window, cx x cy at (x, y), or null when it cannot be had: nothing would ever
// post the quit message, so the caller ends at once instead of waiting.
static HWND create_window(HINSTANCE inst, DWORD ex_style, const char *name, DWORD style, int x,
                          int y, HWND parent) {
    saver.window = CreateWindowExA(ex_style, name, progname, style, x, y, cx, cy, parent, nullptr,
                                   inst, nullptr);
    if (!saver.window) {
        release_framebuf();
        free_dots();
    }
    return saver.window;
}

// Until the quit message; its status.
static int run_messages() {
    MSG msg;
    // -1 (an error) counts as non-zero and keeps the loop going.
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        // The preview's watch (below): its window has gone without a message.
        if (msg.message == WM_TIMER && !msg.hwnd && !IsWindow(saver.window)) return 0;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return int(msg.wParam);
}

int saver_run(plat_instance instance, int x, int y, int32_t frames_ahead) {
    HINSTANCE inst = reinterpret_cast<HINSTANCE>(instance);

    // Restored at the end: setting it inactive regardless would switch the user's
    // screen saver off for the rest of the session.
    BOOL was_active = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &was_active, 0);

    register_class(inst, progname, winproc);
    saver.stop = saver_ending;
    saver.area = {x, y, cx, cy};
    saver.frames_ahead = frames_ahead;
    HWND window =
        create_window(inst, WS_EX_TOPMOST, progname, WS_POPUP | WS_VISIBLE, x, y, nullptr);
    if (!window) return 1;
    hWnd = reinterpret_cast<plat_window>(window);

    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, &oldval, 0);

    int status = run_messages();

    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, was_active ? 1 : 0, &oldval, 0);
    // Wine's X11 driver queues the change to the X server's own screen saver and
    // may drop it when the process ends straight after; reading the state back is
    // a round trip that delivers it. Harmless elsewhere.
    BOOL restored = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &restored, 0);
    free_dots();
    return status;
}

int preview_run(plat_instance instance, plat_window host) {
    HINSTANCE inst = reinterpret_cast<HINSTANCE>(instance);
    register_class(inst, preview_class, preview_proc);
    saver.stop = preview_ending;
    saver.host = reinterpret_cast<HWND>(host);
    saver.area = wanted_area();
    // No parent notifications: a host that has stopped answering must not hold up
    // our own creation or end.
    if (!create_window(inst, WS_EX_NOPARENTNOTIFY, preview_class, WS_CHILD | WS_VISIBLE, 0, 0,
                       saver.host))
        return 1;
    // When the host's process dies, its windows go at once, ours with them, and
    // our frame timer too: no message would come. A timer of the thread's own
    // notices.
    SetTimer(nullptr, 0, 100, nullptr);
    int status = run_messages();
    release_framebuf();
    free_dots();
    return status;
}
