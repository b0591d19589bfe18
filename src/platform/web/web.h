// Knobs of the web page's platform: the one settings file the page holds in
// memory, the clock and the picture chow eats into. (The screen the frames are
// presented onto is the memory screen, platform/memory/memory_screen.h.)
#pragma once
#include <cstdint>
#include <string>

#include "platform/platform.h"

// The settings file's bytes, read and written by the profile calls whatever path
// they are given. Its state says whether there is one and whether it could be read.
std::string &web_settings_text();
void web_set_settings_state(plat_file_state state);

void web_set_tick_count(int32_t ticks);

// The last message box, "caption: text"; empty when none has been shown since
// the last web_clear_message.
const std::string &web_message();
void web_clear_message();

// The picture plat_capture_screen copies from: width x height pixels in the
// frame buffer's format, black until the page fills them; null when the memory
// cannot be had.
uint32_t *web_picture(int width, int height);
