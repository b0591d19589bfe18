// plix-ini: our own settings-file reader and writer on the command line (see
// ini_commands.h), the counterpart of the end-to-end tests' ini_probe.exe.
#include "ini_commands.h"
#include "inifile/inifile.h"

static unsigned get(const char *path, const char *section, const char *key, int def) {
    return ini_file_get_int(path, section, key, def);
}

static int put(const char *path, const char *section, const char *key, const char *value) {
    return ini_file_set_string(path, section, key, value);
}

int main(int argc, char **argv) { return ini_commands_main(argc, argv, get, put); }
