// Sends one mouse button event through the platform's own input queue, for the
// end-to-end tests: a release can be sent without its press, which the X server
// never delivers (it drops the release of a button that is not down).
// Usage: plix-input.exe up|down left|middle|right
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: plix-input up|down left|middle|right\n");
        return 2;
    }
    bool down = strcmp(argv[1], "down") == 0;
    if (!down && strcmp(argv[1], "up") != 0) return 2;
    DWORD flag;
    if (strcmp(argv[2], "left") == 0)
        flag = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    else if (strcmp(argv[2], "middle") == 0)
        flag = down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
    else if (strcmp(argv[2], "right") == 0)
        flag = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    else
        return 2;
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flag;  // no MOUSEEVENTF_MOVE: the pointer stays where it is
    if (SendInput(1, &in, sizeof(in)) != 1) {
        fprintf(stderr, "SendInput failed\n");
        return 1;
    }
    Sleep(200);  // let the event leave this process before it ends
    return 0;
}
