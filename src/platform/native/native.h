// Knobs of the native platform (platform_native.cpp), the services of the native
// programs: plix-sim, the unit tests and plix beside its X11 frame buffer. What
// the command line, clock and screen report, and what the message box saw; the
// defaults are what plix and plix-sim want.
#pragma once
#include <cstdint>
#include <string>

#include "platform/platform.h"

void native_set_command_line(const char *cmdline);
void native_set_tick_count(int32_t ticks);
// The virtual screen plat_virtual_screen reports: one monitor of width x height.
void native_set_screen_size(int width, int height);
void native_set_module_file_name(const char *path);
void native_set_app_data_folder(const char *path);  // "" (the default): there is none

// Every message box shown so far, as "caption|text|owner" lines; cleared on reset.
const std::string &native_message_boxes();

// Back to the defaults: empty command line, module path and app-data folder,
// tick 0, a 0 x 0 screen at (0, 0), no boxes. (The memory screen, memory_screen.h,
// keeps until its next reset.)
void native_reset();
