// Knobs of the web page's platform: the one settings file the page holds in
// memory, the clock, the screen the frames are presented onto, and the picture
// chow eats into.
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

// The page's screen: black and width x height after web_screen_reset (false and
// 0 x 0 when that much memory cannot be had). The pixels are the frame buffer's
// format. web_take_changes gives the rectangle the copies touched since the last
// call (empty: right <= left; right and bottom exclusive) and starts a new one.
struct screen_change {
    int32_t left, top, right, bottom;
};
plat_dc web_screen();
const uint32_t *web_screen_pixels();
bool web_screen_reset(int width, int height);
screen_change web_take_changes();

// The picture plat_capture_screen copies from: width x height pixels in the
// frame buffer's format, black until the page fills them; null when the memory
// cannot be had.
uint32_t *web_picture(int width, int height);
