// plix's Wayland front end (plix_wayland.cpp).
#pragma once
#include <cstdint>

#include "plix/options.h"

// Covers every output of the compositor at $WAYLAND_DISPLAY with one field drawn
// from `seed`, until a key, a button, a pointer move beyond the slack or a
// signal; the exit status (0, 1 when a picture cannot be had or the compositor
// failed us, 2 when it cannot be used). When no compositor answers there and
// `x11_too` (an X display is named), it says so in one line and returns
// wayland_unreachable instead, for the program to go on on X11, as toolkits do.
constexpr int wayland_unreachable = -1;
int run_on_wayland(const plix_options &options, int32_t seed, bool x11_too);

// plix --idle: for the whole session, once the seat has had no input for
// options.idle_seconds and the desktop holds no inhibition, the field on every
// output (a new one each time unless --seed), taken down when the user is back;
// no timer runs while it waits. Returns only on a signal (0), a lost compositor
// or no picture (1), or a compositor that offers no idle protocol or cannot be
// reached (2).
int run_idle_on_wayland(const plix_options &options);
