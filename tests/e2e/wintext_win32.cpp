// wintext TITLE: prints the texts of the child controls of the top-level window
// titled TITLE (a message box's text, say), one per line, so a test can read
// what the user is shown. \r and \n inside a text are printed as those two-
// character escapes, so line breaks can be checked exactly. Exit 1 if no window.
#include <windows.h>

#include <cstdio>

static BOOL CALLBACK print_child(HWND child, LPARAM) {
    char cls[64] = "";
    GetClassNameA(child, cls, sizeof cls);
    char text[2048] = "";
    // WM_GETTEXT reaches the control's own procedure across processes, unlike
    // GetWindowTextA, which only sees the caption the server keeps.
    DWORD_PTR got = 0;
    SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, &got);
    std::printf("%s: ", cls);
    for (const char *p = text; *p; p++) {
        if (*p == '\r') std::fputs("\\r", stdout);
        else if (*p == '\n') std::fputs("\\n", stdout);
        else std::putchar(*p);
    }
    std::putchar('\n');
    return TRUE;
}

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: wintext TITLE\n");
        return 2;
    }
    HWND w = FindWindowA(nullptr, argv[1]);
    if (!w) return 1;
    EnumChildWindows(w, print_child, 0);
    return 0;
}
