// The settings file: its location, and reading and writing one value at a time.
#include "settings/settings.h"

#include <cstdio>
#include <cstring>

#include "settings/setting_ids.h"

int32_t dot_count, dot_history, inertia, speed_limit;
int32_t brownian, bounce, chow, starting_pos;

const setting_key setting_keys[8] = {
    {"dot_count", &dot_count, ID_Dot_count, false},
    {"dot_history", &dot_history, ID_Dot_history, false},
    {"inertia", &inertia, ID_Inertia, false},
    {"speed_limit", &speed_limit, ID_Speed_limit, false},
    {"brownian", &brownian, ID_Brownian, true},
    {"bounce", &bounce, ID_Bounce, true},
    {"chow", &chow, ID_Chow, true},
    {"starting_pos", &starting_pos, ID_Starting_pos, true},
};

char lpIniFileNameAndPath[256];
char lpIniSection[64];
char lpIniKeyName[128];
char lpIniKeyData[1024];
const char lpIniFileName[] = "Plix.ini";

static const char kSection[] = "Plix";

void ini_path_from_module(const char *module_path, bool truncated, char sep, char *out,
                          unsigned out_size) {
    const char *after_sep = module_path;
    for (const char *p = module_path; (p = strchr(p, sep)) != nullptr; p++) after_sep = p + 1;
    size_t dir_len = size_t(after_sep - module_path);
    // A cut-off directory would name some other folder; the bare name at least
    // lets the saver and the dialog agree on one file.
    if (truncated || dir_len + sizeof lpIniFileName > out_size) dir_len = 0;
    memmove(out, module_path, dir_len);
    memcpy(out + dir_len, lpIniFileName, sizeof lpIniFileName);
}

int GetIniFilePath(plat_instance instance) {
    char module[sizeof lpIniFileNameAndPath];
    unsigned n = plat_module_file_name(instance, module, sizeof module);
    module[sizeof module - 1] = '\0';
    ini_path_from_module(module, n >= sizeof module, plat_path_separator, lpIniFileNameAndPath,
                         sizeof lpIniFileNameAndPath);
    return 1;
}

int32_t read_int_ini(const char *key) {
    strcpy(lpIniSection, kSection);
    snprintf(lpIniKeyName, sizeof lpIniKeyName, "%s", key);
    return int32_t(plat_profile_int(lpIniSection, lpIniKeyName, 0, lpIniFileNameAndPath));
}

void write_int_value(const char *key, int32_t value) {
    snprintf(lpIniKeyData, sizeof lpIniKeyData, "%ld", long(value));
    strcpy(lpIniSection, kSection);
    // Failures (a read-only folder and the like) are not reported to the user.
    plat_profile_write(lpIniSection, key, lpIniKeyData, lpIniFileNameAndPath);
}

void load_settings() {
    for (const setting_key &k : setting_keys) *k.value = read_int_ini(k.key);
}

void reset_settings() {
    for (const setting_key &k : setting_keys) *k.value = 0;
}
