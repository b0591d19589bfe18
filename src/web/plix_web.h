// plix.wasm's exports (plix_web.cpp, where each is described), which the page's
// script calls by name; declared here for the native build of the same code that
// the tests drive in the page's order.
#pragma once
#include <cstdint>

// Its one import, the page's clock page_now(), a program calling them defines.
extern "C" {
char *plix_settings_buffer(int32_t size);
int32_t plix_read_settings(int32_t state);
int32_t plix_setting_count();
const char *plix_setting_key(int32_t i);
int32_t plix_setting_is_flag(int32_t i);
int32_t plix_setting(int32_t i);
void plix_set_setting(int32_t i, int32_t value);
int32_t plix_save();
const char *plix_settings_text();
int32_t plix_settings_size();
const char *plix_message();
uint32_t *plix_picture(int32_t width, int32_t height);
int32_t plix_start(int32_t seed, int32_t width, int32_t height);
void plix_frames(int32_t count);
void plix_frames_ahead(int32_t count);
int32_t plix_run(int32_t count, double until);
int32_t plix_width();
int32_t plix_height();
int32_t plix_pixels_per_frame();
const uint32_t *plix_screen();
int32_t plix_band_pixels();
const int32_t *plix_changes(int32_t gap);
}
