// plix's X11 front end (plix_x11.cpp).
#pragma once
#include <cstdint>

#include "plix/options.h"

// Runs on $DISPLAY as the options say, the field drawn from `seed`, until the
// program is to end; the exit status (0, 1 when a picture cannot be had or the
// display failed, 2 when the display or the window cannot be used).
int run_on_x11(const plix_options &options, int32_t seed);
