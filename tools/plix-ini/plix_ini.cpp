// plix-ini: our own settings-file reader and writer on the command line (see
// ini_commands.h), the counterpart of the end-to-end tests' ini_probe.exe.
#include <cerrno>

#include "ini_commands.h"
#include "inifile/inifile.h"

static unsigned get(const char *path, const char *section, const char *key, int def) {
    return ini_file_get_int(path, section, key, def);
}

static int put(const char *path, const char *section, const char *key, const char *value) {
    errno = 0;
    if (ini_file_set_string(path, section, key, value)) return 1;
    fprintf(stderr, "plix-ini: cannot write %s: %s\n", path, ini_file_error_text(errno ? errno : EIO));
    return 0;
}

static bool check(const char *path) {
    if (ini_file_check(path) >= 0) return true;
    fprintf(stderr, "plix-ini: cannot read %s: %s\n", path, ini_file_error_text(errno));
    return false;
}

int main(int argc, char **argv) { return ini_commands_main(argc, argv, get, put, check); }
