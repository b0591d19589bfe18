// The program's entry: picks the run mode and dispatches to the saver, the
// preview or the configuration dialog.
#include <windows.h>

#include "config/config.h"
#include "saver/saver.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "startup/frames_ahead.h"
#include "startup/scrmode.h"

namespace {

// A variable of the environment, or null when it is not set (or too long to be
// a number).
const char *environment_value(const char *name, char *buf, DWORD size) {
    const DWORD n = GetEnvironmentVariableA(name, buf, size);
    return n > 0 && n < size ? buf : nullptr;
}

// PLIX_SEED and PLIX_FRAMES_AHEAD, for benchmarks and tests; a value that is not
// a number is taken as no request, and the saver runs as ever.
frames_ahead_request frames_ahead_from_environment() {
    char seed[32], frames[32];
    frames_ahead_request r;
    const char *bad;
    parse_frames_ahead(environment_value(frames_ahead_seed_variable, seed, sizeof seed),
                       environment_value(frames_ahead_frames_variable, frames, sizeof frames), &r,
                       &bad);
    return r;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    plat_instance inst = reinterpret_cast<plat_instance>(instance);
    if (GetScrMode() == smSaver) {
        // Every monitor: the field is the virtual screen, the window at its origin.
        screen_rect screen = plat_virtual_screen();
        const frames_ahead_request ahead = frames_ahead_from_environment();
        if (saver_setup(inst, hWnd, screen.width, screen.height,
                        ahead.seed_given ? &ahead.seed : nullptr) != 0)
            return 1;
        return saver_run(inst, screen.x, screen.y, ahead.frames);
    }
    // Read a second time, as the host may expect: a bare /c takes the
    // foreground window of this moment as the dialog's owner.
    ScrMode mode = GetScrMode();
    if (mode == smConfig) {
        GetIniFilePath(inst);
        return config_run(inst);
    }
    if (mode == smPreview) {
        HWND host = reinterpret_cast<HWND>(hWnd);
        RECT area;
        // A handle naming no window (mistyped, or its window has closed): nothing
        // to draw into. Nor is a desktop window, ours or another desktop's (whose
        // windows are not under ours): it never goes, and a child of it would be
        // a full-screen window that nothing ends.
        HWND desktop = GetDesktopWindow();
        if (!IsWindow(host) || host == desktop ||
            GetAncestor(GetAncestor(host, GA_ROOT), GA_PARENT) != desktop ||
            !GetClientRect(host, &area))
            return 1;
        if (preview_setup(inst, area.right, area.bottom) != 0) return 1;
        return preview_run(inst, hWnd);
    }
    return 1;  // password and unknown switches are not served
}
