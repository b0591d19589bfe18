// The saver window and its message loop.
#pragma once
#include "platform/platform.h"

// Runs the full-screen saver after a successful set-up; returns the exit status.
int saver_run(plat_instance instance);
