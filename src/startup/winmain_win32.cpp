// The program's entry: picks the run mode and dispatches to the saver or the
// configuration dialog.
#include <windows.h>

#include "config/config.h"
#include "saver/saver.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "startup/scrmode.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    plat_instance inst = reinterpret_cast<plat_instance>(instance);
    if (GetScrMode() == smSaver) {
        if (saver_setup(inst, hWnd, plat_screen_width(), plat_screen_height()) != 0) return 1;
        return saver_run(inst);
    }
    // Read a second time, as the host may expect: a bare /c takes the
    // foreground window of this moment as the dialog's owner.
    if (GetScrMode() == smConfig) {
        GetIniFilePath(inst);
        return config_run(inst);
    }
    return 1;  // preview, password and unknown switches are not served
}
