// How the native programs without a window present: onto the screen in memory
// (../memory/), at the Win32 costs, so that the tests and plix-sim choose as the
// saver does, with no screen of their own to capture.
#include "platform/platform.h"
#include "platform/win32/win32_costs.h"

present_costs plat_present_costs() { return win32_present_costs; }

// Copies in memory: the table decides, the same on every run.
int64_t plat_present_clock() { return -1; }

void plat_capture_screen(frame_buffer *, int32_t, int32_t) {}
