// plix-ini: our own settings-file reader and writer on the command line, the
// counterpart of tests/e2e's ini_probe.exe (the platform's profile calls), with
// the same arguments and output so the two can be compared:
//   plix-ini get PATH SECTION [-d DEFAULT] KEY...   one value a line, signed
//   plix-ini write PATH SECTION KEY VALUE           prints 1 on success, else 0
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ini_file.h"

static int usage() {
    fprintf(stderr,
            "usage: plix-ini get PATH SECTION [-d DEFAULT] KEY...\n"
            "       plix-ini write PATH SECTION KEY VALUE\n");
    return 2;
}

int main(int argc, char **argv) {
    if (argc < 4) return usage();
    const char *path = argv[2], *section = argv[3];
    if (strcmp(argv[1], "get") == 0) {
        int def = 0, i = 4;
        if (i + 1 < argc && strcmp(argv[i], "-d") == 0) {
            def = atoi(argv[i + 1]);
            i += 2;
        }
        for (; i < argc; i++) printf("%d\n", int(ini_file_get_int(path, section, argv[i], def)));
        return 0;
    }
    if (strcmp(argv[1], "write") == 0 && argc == 6) {
        printf("%d\n", ini_file_write(path, section, argv[4], argv[5]) ? 1 : 0);
        return 0;
    }
    return usage();
}
