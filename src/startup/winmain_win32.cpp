// The program's entry: picks the run mode and dispatches to the saver or the
// configuration dialog.
#include <windows.h>

#include "sim/dots.h"
#include "startup/scrmode.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    plat_instance inst = reinterpret_cast<plat_instance>(instance);
    if (GetScrMode() == smSaver) {
        if (saver_setup(inst) != 0) return 1;
        free_dots();
        return 0;
    }
    if (GetScrMode() == smConfig) return 0;
    return 1;  // preview, password and unknown switches are not served
}
