// Knobs of the native build's stand-in platform, for tests and plix-sim: what
// the command line, clock and screen report, and what the message box saw.
#pragma once
#include <cstdint>
#include <string>

#include "platform/platform.h"

void headless_set_command_line(const char *cmdline);
void headless_set_tick_count(int32_t ticks);
// The virtual screen plat_virtual_screen reports: one monitor of width x height.
void headless_set_screen_size(int width, int height);
void headless_set_module_file_name(const char *path);
void headless_set_app_data_folder(const char *path);  // "" (the default): there is none

// Every message box shown so far, as "caption|text|owner" lines; cleared on reset.
const std::string &headless_message_boxes();

// A headless screen to present frames onto: plat_copy_pixel(headless_screen(), ...)
// copies from a frame buffer into it, at the same place. Black and width x
// height after headless_screen_reset(); the pixels are null when that much
// memory cannot be had. headless_copies() counts the copy calls since then.
plat_dc headless_screen();
uint32_t *headless_screen_pixels();
void headless_screen_reset(int width, int height);
long headless_copies();

// Back to the defaults: empty command line, module path and app-data folder,
// tick 0, a 0 x 0 screen at (0, 0), no boxes. (The memory screen keeps until its
// next reset.)
void headless_reset();
