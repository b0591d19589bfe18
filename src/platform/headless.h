// Knobs of the native build's stand-in platform, for tests and plix-sim: what
// the command line, clock and screen report, and what the message box saw.
#pragma once
#include <cstdint>
#include <string>

#include "platform/platform.h"

void headless_set_command_line(const char *cmdline);
void headless_set_foreground_window(plat_window w);
void headless_set_tick_count(int32_t ticks);
void headless_set_screen_size(int width, int height);
void headless_set_module_file_name(const char *path);
void headless_set_app_data_folder(const char *path);  // "" (the default): there is none
void headless_set_input_waiting(int waiting);         // what plat_user_input_waiting says

// Every message box shown so far, as "caption|text|owner" lines; cleared on reset.
const std::string &headless_message_boxes();

// A headless screen to present frames onto: plat_copy_pixel(headless_screen(), ...)
// copies from framebuf into it. Sized cx * cy, black, by headless_screen_reset();
// the pixels are null when that much memory cannot be had.
plat_dc headless_screen();
uint32_t *headless_screen_pixels();
void headless_screen_reset();

// Back to the defaults: empty command line, module path and app-data folder,
// tick 0, a 0 x 0 screen, no boxes.
void headless_reset();
