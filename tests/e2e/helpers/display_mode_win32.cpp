// Switches the display mode from inside Wine, for the end-to-end tests: a mode
// change made with xrandr from outside reaches no Wine program.
// Usage: plix-display-mode.exe WxH   (status 0 once the screen is that size,
// within 10 s)
#include <windows.h>

#include <cstdio>

int main(int argc, char **argv) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    if (argc != 2 || sscanf(argv[1], "%lux%lu", &mode.dmPelsWidth, &mode.dmPelsHeight) != 2) {
        fprintf(stderr, "usage: plix-display-mode WxH\n");
        return 2;
    }
    // On a loaded machine Wine's answer and the new metrics can take a while:
    // a failed change is tried again, and the metrics are waited for.
    LONG result = DISP_CHANGE_FAILED;
    int w = 0, h = 0;
    for (int tries = 0; tries < 100; tries++) {
        if (result != DISP_CHANGE_SUCCESSFUL)
            result = ChangeDisplaySettingsExA(nullptr, &mode, nullptr, 0, nullptr);
        w = GetSystemMetrics(SM_CXVIRTUALSCREEN);
        h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
        if (result == DISP_CHANGE_SUCCESSFUL && DWORD(w) == mode.dmPelsWidth &&
            DWORD(h) == mode.dmPelsHeight)
            break;
        Sleep(100);
    }
    printf("%ld %dx%d\n", result, w, h);
    return result == DISP_CHANGE_SUCCESSFUL && DWORD(w) == mode.dmPelsWidth &&
                   DWORD(h) == mode.dmPelsHeight
               ? 0
               : 1;
}
