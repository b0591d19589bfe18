// The saver window over every monitor, and the preview in the host's window.
#pragma once
#include <cstdint>

#include "platform/platform.h"

// Runs the saver after a successful set-up, its window of the field's size with
// its top-left corner at screen point (x, y), the field brought `frames_ahead`
// frames forward before it is first shown; returns the exit status.
int saver_run(plat_instance instance, int x, int y, int32_t frames_ahead);

// Runs the preview after a successful set-up: a child window of `host` of the
// field's size at the host's client origin, until either goes away (status 0).
int preview_run(plat_instance instance, plat_window host);
