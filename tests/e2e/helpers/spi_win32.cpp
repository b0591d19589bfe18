// Reads or sets the platform's screen-saving flag, for the end-to-end tests.
// Usage: plix-spi.exe get        prints 0 or 1
//        plix-spi.exe set 0|1    sets it for the session (no profile write)
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    // Wine answers these calls from the display driver once it is loaded (with
    // X11: the X server's own screen saver), and from the registry before that.
    // Any call that touches the display loads it, as it is loaded in the saver.
    GetSystemMetrics(SM_CXSCREEN);
    if (argc == 2 && strcmp(argv[1], "get") == 0) {
        BOOL active = FALSE;
        if (!SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0)) {
            fprintf(stderr, "SPI_GETSCREENSAVEACTIVE failed\n");
            return 1;
        }
        printf("%d\n", active ? 1 : 0);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "set") == 0 &&
        (strcmp(argv[2], "0") == 0 || strcmp(argv[2], "1") == 0)) {
        UINT value = argv[2][0] == '1';
        if (!SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, value, nullptr, 0)) {
            fprintf(stderr, "SPI_SETSCREENSAVEACTIVE failed\n");
            return 1;
        }
        // A read-back is a round trip to the X server: without it the change can
        // be lost when the process ends.
        BOOL now = FALSE;
        SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &now, 0);
        return 0;
    }
    fprintf(stderr, "usage: plix-spi get | set 0|1\n");
    return 2;
}
