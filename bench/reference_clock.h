// What the native reference programs share (plix-screens-x11, plix-screens-wayland):
// a stop asked for by a signal, and the monotonic clock in milliseconds.
#pragma once
#include <csignal>
#include <ctime>

inline volatile sig_atomic_t stop_requested = 0;
inline void on_signal(int) { stop_requested = 1; }

inline long long now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}
