// ini_probe.exe: asks the platform's own profile calls, so the end-to-end tests can
// compare our settings-file reader and writer with them. Same command line as
// tools/plix-ini (our implementation):
//   ini_probe get PATH SECTION [-d DEFAULT] KEY...   one GetPrivateProfileIntA result a line
//   ini_probe write PATH SECTION KEY VALUE           WritePrivateProfileStringA; prints 1 or 0
// A PATH starting with '/' is a Unix path and is taken through Wine's Z: drive;
// the profile calls need an absolute path or they look in the Windows directory.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static std::string windows_path(const char *path) {
    if (path[0] != '/') return path;
    std::string out = "Z:";
    for (const char *p = path; *p; p++) out += *p == '/' ? '\\' : *p;
    return out;
}

static int usage() {
    fprintf(stderr,
            "usage: ini_probe get PATH SECTION [-d DEFAULT] KEY...\n"
            "       ini_probe write PATH SECTION KEY VALUE\n");
    return 2;
}

int main(int argc, char **argv) {
    if (argc < 4) return usage();
    std::string path = windows_path(argv[2]);
    const char *section = argv[3];
    if (strcmp(argv[1], "get") == 0) {
        int def = 0, i = 4;
        if (i + 1 < argc && strcmp(argv[i], "-d") == 0) {
            def = atoi(argv[i + 1]);
            i += 2;
        }
        for (; i < argc; i++)
            printf("%d\n", int(GetPrivateProfileIntA(section, argv[i], def, path.c_str())));
        return 0;
    }
    if (strcmp(argv[1], "write") == 0 && argc == 6) {
        printf("%d\n", WritePrivateProfileStringA(section, argv[4], argv[5], path.c_str()) ? 1 : 0);
        return 0;
    }
    return usage();
}
