// A stand-in for the host's settings window: its "monitor", a 152 x 112 child
// like the settings window's little screen, is handed to `SCR SWITCH HANDLE`.
// Usage: plix-preview-host.exe SCR SWITCH close|resize|destroy|quit|wait|desktop
// Prints "plix PID"; after a second of preview "child PID X,Y WxH" per window in
// the monitor (with resize: again after the monitor became 200 x 150 and another
// second passed); then closes those windows, destroys the monitor (their parent),
// destroys the host window, or waits to be killed; and prints "exit STATUS after
// MS ms" (MS from that step) or "running" when the preview has not ended in 5 s.
// With desktop the handle given is the desktop window's instead of the monitor's,
// and the host does nothing but wait.
#include <windows.h>

#include <cstdio>
#include <cstring>

static HANDLE plix;

// Answers messages, as a live host does, for `ms` or until the preview ends.
static bool pump(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD passed = GetTickCount() - start;
        if (ms != INFINITE && passed >= ms) return false;
        DWORD r = MsgWaitForMultipleObjects(1, &plix, FALSE,
                                            ms == INFINITE ? INFINITE : ms - passed, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
}

static BOOL CALLBACK print_child(HWND w, LPARAM monitor) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, HWND(monitor), reinterpret_cast<POINT *>(&r), 2);
    printf("child %lu %ld,%ld %ldx%ld\n", pid, r.left, r.top, r.right - r.left, r.bottom - r.top);
    return TRUE;
}

static BOOL CALLBACK close_child(HWND w, LPARAM) { return PostMessageA(w, WM_CLOSE, 0, 0); }

int main(int argc, char **argv) {
    if (argc < 4) return 2;
    HWND host = CreateWindowExA(0, "STATIC", "Plix preview host", WS_POPUP | WS_VISIBLE, 100, 100,
                                152, 112, nullptr, nullptr, nullptr, nullptr);
    HWND monitor = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, 0, 0, 152,
                                   112, host, nullptr, nullptr, nullptr);
    char cmdline[MAX_PATH + 64];
    size_t n = strlen(argv[2]);  // "/l:" takes the handle without a blank
    HWND handed = strcmp(argv[3], "desktop") == 0 ? GetDesktopWindow() : monitor;
    snprintf(cmdline, sizeof cmdline, "\"%s\" %s%s%lu", argv[1], argv[2],
             n && argv[2][n - 1] == ':' ? "" : " ", (unsigned long)(UINT_PTR)handed);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    // No standard handles: a preview that outlives the host must not hold its
    // output open (Wine hands the preview the host's own otherwise).
    si.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION pi;
    if (!monitor ||
        !CreateProcessA(nullptr, cmdline, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 1;
    plix = pi.hProcess;
    printf("plix %lu\n", pi.dwProcessId);
    fflush(stdout);

    pump(1000);
    EnumChildWindows(monitor, print_child, LPARAM(monitor));
    fflush(stdout);
    const char *step = argv[3];
    const bool resize = strcmp(step, "resize") == 0;
    if (resize) {
        SetWindowPos(host, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(monitor, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        pump(1000);
        EnumChildWindows(monitor, print_child, LPARAM(monitor));
        fflush(stdout);
    }
    // Hidden first: hiding takes Wine up to 2 s on an X server without a window
    // manager, which is no part of what the preview does.
    if (strcmp(step, "quit") == 0) ShowWindow(host, SW_HIDE);
    DWORD start = GetTickCount();
    if (strcmp(step, "close") == 0 || resize) EnumChildWindows(monitor, close_child, 0);
    if (strcmp(step, "destroy") == 0) DestroyWindow(monitor);
    if (strcmp(step, "quit") == 0) DestroyWindow(host);
    if (!pump(strcmp(step, "wait") == 0 ? INFINITE : 5000)) {
        printf("running\n");
        return 0;
    }
    DWORD status = 0;
    GetExitCodeProcess(plix, &status);
    printf("exit %lu after %lu ms\n", status, GetTickCount() - start);
    return 0;
}
