// A stand-in for the host's settings window: its "monitor", a 152 x 112 child
// window like the settings window's little screen, is handed to `SCR /p HANDLE`.
// Usage: plix-preview-host.exe SCR [SWITCH]   (SWITCH /p by default; "/l:" etc.)
// Prints "plix PID" once the preview is started, and "exit STATUS after MS ms"
// when it ends (MS counted from the last command, or from the host window's
// destruction after quit). Commands on standard input:
//   list     "child N HANDLE pid PID at X,Y size WxH" per window inside the
//            monitor, then "children N COUNT" (N counts the lists)
//   close    WM_CLOSE to the windows inside the monitor (a host ending a preview)
//   destroy  destroys the monitor, the preview's parent
//   quit     destroys the host window and ends (after the preview, at most 5 s)
#include <windows.h>

#include <cstdio>
#include <cstring>

static HWND host, monitor;
static HANDLE plix;
static volatile DWORD last_command;
static int lists;

enum { cmd_list = WM_APP, cmd_close, cmd_destroy, cmd_quit };

static BOOL CALLBACK print_child(HWND w, LPARAM count) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    RECT r;
    GetWindowRect(w, &r);
    POINT at = {r.left, r.top};
    ScreenToClient(monitor, &at);
    printf("child %d %lu pid %lu at %ld,%ld size %ldx%ld\n", lists, (unsigned long)(UINT_PTR)w,
           (unsigned long)pid, at.x, at.y, r.right - r.left, r.bottom - r.top);
    ++*reinterpret_cast<int *>(count);
    return TRUE;
}

static BOOL CALLBACK close_child(HWND w, LPARAM) {
    PostMessageA(w, WM_CLOSE, 0, 0);
    return TRUE;
}

static LRESULT CALLBACK host_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= cmd_list && msg <= cmd_quit) last_command = GetTickCount();
    switch (msg) {
    case cmd_list: {
        int count = 0;
        ++lists;
        if (IsWindow(monitor)) EnumChildWindows(monitor, print_child, LPARAM(&count));
        printf("children %d %d\n", lists, count);
        fflush(stdout);
        return 0;
    }
    case cmd_close:
        EnumChildWindows(monitor, close_child, 0);
        return 0;
    case cmd_destroy:
        DestroyWindow(monitor);
        return 0;
    case cmd_quit:
        DestroyWindow(w);
        return 0;
    case WM_DESTROY:
        // The count starts here, where the window tree goes: hiding the window
        // before takes Wine up to 2 s on an X server without a window manager.
        last_command = GetTickCount();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

static DWORD WINAPI read_commands(void *) {
    const char *names[] = {"list", "close", "destroy", "quit"};
    char line[64];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\r\n")] = '\0';
        for (UINT i = 0; i < 4; i++)
            if (strcmp(line, names[i]) == 0) PostMessageA(host, cmd_list + i, 0, 0);
    }
    return 0;
}

static DWORD WINAPI watch_plix(void *) {
    WaitForSingleObject(plix, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(plix, &status);
    printf("exit %lu after %lu ms\n", (unsigned long)status,
           (unsigned long)(GetTickCount() - last_command));
    fflush(stdout);
    return 0;
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: plix-preview-host.exe SCR [SWITCH]\n");
        return 2;
    }
    const char *sw = argc > 2 ? argv[2] : "/p";
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = host_proc;
    wc.hInstance = inst;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = "PlixPreviewHost";
    RegisterClassA(&wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "PlixPreviewMonitor";
    RegisterClassA(&wc);
    host = CreateWindowExA(0, "PlixPreviewHost", "Plix preview host", WS_POPUP | WS_VISIBLE, 100,
                           100, 152, 112, nullptr, nullptr, inst, nullptr);
    monitor = CreateWindowExA(0, "PlixPreviewMonitor", "", WS_CHILD | WS_VISIBLE, 0, 0, 152, 112,
                              host, nullptr, inst, nullptr);
    if (!host || !monitor) return 1;

    char cmdline[MAX_PATH + 64];
    size_t n = strlen(sw);
    snprintf(cmdline, sizeof cmdline, "\"%s\" %s%s%lu", argv[1], sw,
             n && sw[n - 1] == ':' ? "" : " ", (unsigned long)(UINT_PTR)monitor);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, cmdline, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        printf("cannot start %s\n", cmdline);
        return 1;
    }
    plix = pi.hProcess;
    CloseHandle(pi.hThread);
    last_command = GetTickCount();
    printf("plix %lu\n", (unsigned long)pi.dwProcessId);
    fflush(stdout);
    HANDLE watcher = CreateThread(nullptr, 0, watch_plix, nullptr, 0, nullptr);
    CreateThread(nullptr, 0, read_commands, nullptr, 0, nullptr);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // Answering messages meanwhile, as a live host does, until the preview has
    // ended (at most 5 s).
    DWORD start = GetTickCount();
    while (MsgWaitForMultipleObjects(1, &watcher, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           GetTickCount() - start < 5000)
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return 0;
}
