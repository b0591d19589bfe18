// Run-mode selection: what the screen-saver host asked for on the command line.
#pragma once
#include "platform/platform.h"

enum ScrMode { smNone = 0, smConfig = 1, smPassword = 2, smPreview = 3, smSaver = 4 };

// The program-wide window handle: first the window named on the command line,
// later the saver window.
extern plat_window hWnd;

// The parse itself, free of platform calls. `foreground` is the owner used for a
// bare /c. Writes *handle only in the modes that name a window.
ScrMode parse_scr_mode(const char *cmdline, plat_window foreground, plat_window *handle);

// atoi over the handle text, but saturating instead of overflowing: a run of
// digits too long for 32 bits gives INT_MAX (or INT_MIN with a minus sign).
int32_t parse_handle(const char *s);

// Reads the process's command line; may set hWnd.
ScrMode GetScrMode();
