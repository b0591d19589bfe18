// The eight settings, the file that stores them ("Plix.ini" beside the program, or
// the user's own one; section "Plix") and the fixed text buffers every profile
// call goes through.
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
// Whether a path given on a command line fits lpIniFileNameAndPath.
bool settings_path_fits(const char *path);
extern char lpIniSection[64];
extern char lpIniKeyName[128];
extern char lpIniKeyData[1024];
extern const char lpIniFileName[];  // "Plix.ini"

// Fills lpIniFileNameAndPath with the settings file in use, by one rule for the
// saver, the preview and the dialog: the user's own file (user_ini_path) once
// it exists, otherwise the program's directory plus "Plix.ini". The user's file
// is only ever created when the one beside the program cannot be written (an
// installation folder the user may not change), so from then on it is the one
// holding the user's settings. It is also the only one when the program's
// directory has no path that fits (nor one the platform can give at all): never
// a file somewhere else. With neither, the path is empty: every setting reads
// as 0 and nothing is written.
int GetIniFilePath(plat_instance instance);

// The user's own settings file: the application-data folder + "\Plix\Plix.ini";
// false when the platform has no such folder or the path would not fit `size`.
bool user_ini_path(char *out, unsigned size);

// 1 when the file in use can be read or does not exist; 0 when it exists but
// cannot be read, with `message` naming it and saying why.
int check_ini_readable(char *message, unsigned size);

// Writes the settings whose `which` entries are true (in table order, values
// from the eight variables) to the file in use as one unit. When that is the
// file beside the program and it cannot be written, all eight go to the user's
// own file instead (its folder created), which becomes the file in use; with
// fewer than eight known that would leave the rest at 0, so it is not done.
// Returns 1 on success; else 0, no file changed, and `message` names each file
// tried with the platform's reason.
int save_settings(const bool which[8], char *message, unsigned size);

// The rule behind GetIniFilePath, on a module path already in hand. Keeps
// everything up to the last separator and appends "Plix.ini"; a path with no
// separator gives the bare "Plix.ini". A path the platform had to cut off, or
// one with no room for the name in `out`, gives false and an empty `out`: a
// cut-off path would name some other folder, and the bare name the Windows one.
bool ini_path_from_module(const char *module_path, bool truncated, char sep, char *out,
                          unsigned out_size);

int32_t read_int_ini(const char *key);
void write_int_value(const char *key, int32_t value);
void load_settings();

// Sets all eight settings to zero, as at process start.
void reset_settings();
