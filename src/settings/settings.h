// The eight settings, the file that stores them ("Plix.ini" beside the program,
// section "Plix") and the fixed text buffers every profile call goes through.
#pragma once
#include <cstdint>

#include "platform/platform.h"

extern int32_t dot_count, dot_history, inertia, speed_limit;
extern int32_t brownian, bounce, chow, starting_pos;

// One row per setting, in the order every reader and writer visits the keys.
struct setting_key {
    const char *key;
    int32_t *value;
    int control_id;  // the dialog field that shows it
    bool is_flag;    // check box (stored "0"/"1") rather than a number field
};
extern const setting_key setting_keys[8];

extern char lpIniFileNameAndPath[256];
extern char lpIniSection[64];
extern char lpIniKeyName[128];
extern char lpIniKeyData[1024];
extern const char lpIniFileName[];  // "Plix.ini"

// Fills lpIniFileNameAndPath with the program's directory plus "Plix.ini".
int GetIniFilePath(plat_instance instance);

// The rule behind GetIniFilePath, on a module path already in hand. Keeps
// everything up to the last separator and appends "Plix.ini"; a path with no
// separator, or one too long to fit `out` (truncated by the platform or with no
// room for the name), gives the bare "Plix.ini" instead of a cut-off path.
void ini_path_from_module(const char *module_path, bool truncated, char sep, char *out,
                          unsigned out_size);

int32_t read_int_ini(const char *key);
void write_int_value(const char *key, int32_t value);
void load_settings();

// Sets all eight settings to zero, as at process start.
void reset_settings();
