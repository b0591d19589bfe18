// ini_probe.exe: the platform's own profile calls (GetPrivateProfileIntA,
// WritePrivateProfileStringA) with plix-ini's command line (tools/plix-ini/
// ini_commands.h), so the end-to-end tests can compare our reader and writer.
// A PATH starting with '/' is a Unix path, taken through Wine's Z: drive: the
// profile calls need an absolute path or they look in the Windows directory.
// "lock PATH SECONDS" holds PATH open, shared with no one, as another program
// may; it prints "locked" once it does.
#include <windows.h>

#include <string>

#include "ini_commands.h"

static std::string windows_path(const char *path) {
    if (path[0] != '/') return path;
    std::string out = "Z:";
    for (const char *p = path; *p; p++) out += *p == '/' ? '\\' : *p;
    return out;
}

static unsigned get(const char *path, const char *section, const char *key, int def) {
    return GetPrivateProfileIntA(section, key, def, windows_path(path).c_str());
}

static int put(const char *path, const char *section, const char *key, const char *value) {
    return WritePrivateProfileStringA(section, key, value, windows_path(path).c_str());
}

int main(int argc, char **argv) {
    if (argc == 4 && std::string(argv[1]) == "lock") {
        if (CreateFileA(windows_path(argv[2]).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                        nullptr) == INVALID_HANDLE_VALUE)
            return 1;
        printf("locked\n");
        fflush(stdout);
        Sleep(DWORD(atoi(argv[3])) * 1000);
        return 0;
    }
    // The batch file itself is named the same way.
    if (argc == 3 && std::string(argv[1]) == "batch" && argv[2][0] == '/') {
        static std::string batch = windows_path(argv[2]);
        argv[2] = &batch[0];
    }
    return ini_commands_main(argc, argv, get, put);
}
