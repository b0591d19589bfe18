// The settings file: which one is in use, reading and writing one value at a
// time, and saving the dialog's values as one unit.
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

bool settings_path_fits(const char *path) { return strlen(path) < sizeof lpIniFileNameAndPath; }

static const char section_name[] = "Plix";
static const char user_folder_name[] = "Plix";  // inside the application-data folder

bool ini_path_from_module(const char *module_path, bool truncated, char sep, char *out,
                          unsigned out_size) {
    const char *after_sep = module_path;
    for (const char *p = module_path; (p = strchr(p, sep)) != nullptr; p++) after_sep = p + 1;
    size_t dir_len = size_t(after_sep - module_path);
    if (truncated || dir_len + sizeof lpIniFileName > out_size) {
        if (out_size) out[0] = '\0';
        return false;
    }
    memmove(out, module_path, dir_len);
    memcpy(out + dir_len, lpIniFileName, sizeof lpIniFileName);
    return true;
}

bool user_ini_path(char *out, unsigned size) {
    char folder[sizeof lpIniFileNameAndPath];
    if (!plat_app_data_folder(folder, sizeof folder)) return false;
    int n = snprintf(out, size, "%s%c%s%c%s", folder, plat_path_separator, user_folder_name,
                     plat_path_separator, lpIniFileName);
    return n > 0 && unsigned(n) < size;
}

int GetIniFilePath(plat_instance instance) {
    char module[sizeof lpIniFileNameAndPath];
    unsigned n = plat_module_file_name(instance, module, sizeof module);
    module[sizeof module - 1] = '\0';
    char beside[sizeof lpIniFileNameAndPath];
    bool has_beside = ini_path_from_module(module, n >= sizeof module, plat_path_separator, beside,
                                           sizeof beside);
    char user[sizeof lpIniFileNameAndPath], why[2];
    if (user_ini_path(user, sizeof user) &&
        (!has_beside || plat_file_check(user, why, sizeof why) != plat_file_missing))
        strcpy(lpIniFileNameAndPath, user);
    else
        strcpy(lpIniFileNameAndPath, beside);  // empty when there is neither
    return 1;
}

int check_ini_readable(char *message, unsigned size) {
    char why[256];
    if (!lpIniFileNameAndPath[0] ||
        plat_file_check(lpIniFileNameAndPath, why, sizeof why) != plat_file_unreadable)
        return 1;
    snprintf(message, size,
             "The settings file\r\n%s\r\ncannot be read: %s\r\n\r\n"
             "Fields that could not be read show 0; OK stores only the fields you change.",
             lpIniFileNameAndPath, why);
    return 0;
}

// One attempt at one file; on failure adds the path and the reason to `message`.
static bool save_to(const char *path, const char *const *keys, const char *const *values, int count,
                    char *message, unsigned size) {
    char why[256];
    if (plat_profile_write_all(section_name, keys, values, count, path, why, sizeof why))
        return true;
    size_t used = strlen(message);
    snprintf(message + used, size - used, "\r\n\r\n%s\r\n%s", path, why);
    return false;
}

// The user's own file, its folder made first (harmless when it exists).
static bool save_to_user_file(const char *user, const char *const *keys, const char *const *values,
                              int count, char *message, unsigned size) {
    char folder[sizeof lpIniFileNameAndPath], why[256];
    strcpy(folder, user);
    *strrchr(folder, plat_path_separator) = '\0';
    if (!plat_create_folder(folder, why, sizeof why)) {
        size_t used = strlen(message);
        snprintf(message + used, size - used, "\r\n\r\n%s\r\n%s", folder, why);
        return false;
    }
    return save_to(user, keys, values, count, message, size);
}

int save_settings(const bool which[8], char *message, unsigned size) {
    const char *keys[8], *values[8];
    char text[8][12];
    int count = 0;
    for (int i = 0; i < 8; i++) {
        if (!which[i]) continue;
        snprintf(text[i], sizeof text[i], "%ld", long(*setting_keys[i].value));
        keys[count] = setting_keys[i].key;
        values[count++] = text[i];
    }
    snprintf(message, size, "The settings could not be saved.");
    if (!lpIniFileNameAndPath[0]) {
        size_t used = strlen(message);
        snprintf(message + used, size - used,
                 "\r\n\r\nNeither the program's folder nor your application-data folder has "
                 "a path the settings calls can take (too long, or not spelt in this system's "
                 "code page).");
        return 0;
    }
    char user[sizeof lpIniFileNameAndPath];
    bool have_user = user_ini_path(user, sizeof user);
    // The user's file may be in use before it exists (the program's folder has no
    // usable path): its folder may be missing too.
    if (have_user && strcmp(lpIniFileNameAndPath, user) == 0)
        return save_to_user_file(user, keys, values, count, message, size) ? 1 : 0;
    if (save_to(lpIniFileNameAndPath, keys, values, count, message, size)) return 1;
    if (count < 8 || !have_user || !save_to_user_file(user, keys, values, count, message, size))
        return 0;
    strcpy(lpIniFileNameAndPath, user);
    return 1;
}

int32_t read_int_ini(const char *key) {
    strcpy(lpIniSection, section_name);
    snprintf(lpIniKeyName, sizeof lpIniKeyName, "%s", key);
    // No file at all: the profile call would take the empty name as the Windows folder's.
    if (!lpIniFileNameAndPath[0]) return 0;
    return int32_t(plat_profile_int(lpIniSection, lpIniKeyName, 0, lpIniFileNameAndPath));
}

void write_int_value(const char *key, int32_t value) {
    snprintf(lpIniKeyData, sizeof lpIniKeyData, "%ld", long(value));
    strcpy(lpIniSection, section_name);
    // Failures (a read-only folder and the like) are not reported to the user.
    if (lpIniFileNameAndPath[0])
        plat_profile_write(lpIniSection, key, lpIniKeyData, lpIniFileNameAndPath);
}

void load_settings() {
    for (const setting_key &k : setting_keys) *k.value = read_int_ini(k.key);
}

void reset_settings() {
    for (const setting_key &k : setting_keys) *k.value = 0;
}
