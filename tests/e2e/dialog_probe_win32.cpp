// Test helper for the configuration dialog, run under Wine by the end-to-end
// cases: reads the dialog template out of Plix.scr, reads the live dialog and
// About box of another process, and provides a window to own the dialog.
//
//   dialog-probe template FILE   the dialog template 100 of FILE, one line per item
//   dialog-probe fields          the open dialog: its handle, owner and each field
//   dialog-probe texts           the open dialog's labels, boxes and buttons: whether
//                                each text fits its control on one line
//   dialog-probe about           the open About box: its owner and its text
//   dialog-probe where TITLE ID  screen position, "x y", of the centre of control
//                                ID in the dialog box titled TITLE ("close": of
//                                its caption's close box)
//   dialog-probe owner SECONDS   opens a window "Plix test owner", prints its
//                                handle, stays for SECONDS
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char kDialogTitle[] = "Plix screensaver configuration";

// --- the template, read straight from the resource ---------------------------

static const BYTE *align4(const BYTE *p, const BYTE *base) {
    return base + ((p - base + 3) & ~size_t(3));
}

static WORD read_word(const BYTE *&p) {
    WORD w;
    memcpy(&w, p, 2);
    p += 2;
    return w;
}

static DWORD read_dword(const BYTE *&p) {
    DWORD d;
    memcpy(&d, p, 4);
    p += 4;
    return d;
}

// Resource strings are UTF-16; every text in the template is plain ASCII.
static std::string read_sz(const BYTE *&p) {
    std::string s;
    for (WORD c; (c = read_word(p)) != 0;) s += c < 128 ? char(c) : '?';
    return s;
}

// A class or menu field: a string, or 0xFFFF and an ordinal.
static std::string read_sz_or_ord(const BYTE *&p) {
    WORD first;
    memcpy(&first, p, 2);
    if (first == 0xFFFF) {
        p += 2;
        WORD ord = read_word(p);
        static const char *names[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
        if (ord >= 0x80 && ord <= 0x85) return names[ord - 0x80];
        char buf[16];
        snprintf(buf, sizeof buf, "#%u", ord);
        return buf;
    }
    return read_sz(p);
}

// Class names are not case-sensitive; they are printed in capitals.
static std::string upper(std::string s) {
    for (char &c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

static int print_template(const char *file) {
    HMODULE m = LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC r = m ? FindResourceA(m, MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(5) /* RT_DIALOG */) : nullptr;
    const BYTE *base = r ? static_cast<const BYTE *>(LockResource(LoadResource(m, r))) : nullptr;
    if (!base) {
        printf("error: no dialog template 100 in %s\n", file);
        return 2;
    }
    const BYTE *p = base;
    WORD version = read_word(p), signature = read_word(p);
    if (version != 1 || signature != 0xFFFF) {
        printf("error: template 100 is not an extended dialog template\n");
        return 2;
    }
    read_dword(p);  // help id
    DWORD ex_style = read_dword(p), style = read_dword(p);
    WORD count = read_word(p);
    short x = short(read_word(p)), y = short(read_word(p)), w = short(read_word(p)), h = short(read_word(p));
    std::string menu = read_sz_or_ord(p), cls = read_sz_or_ord(p), caption = read_sz(p);
    printf("dialog style=0x%08lx exstyle=0x%08lx rect=%d,%d,%d,%d menu=\"%s\" class=\"%s\" caption=\"%s\"",
           (unsigned long)style, (unsigned long)ex_style, x, y, w, h, menu.c_str(), cls.c_str(),
           caption.c_str());
    if (style & (DS_SETFONT | DS_SHELLFONT)) {
        WORD points = read_word(p), weight = read_word(p);
        BYTE italic = *p++;
        p++;  // character set
        std::string face = read_sz(p);
        printf(" font=%u,\"%s\"", points, face.c_str());
        if (weight != 0 && weight != FW_NORMAL) printf(" weight=%u", weight);
        if (italic) printf(" italic");
    }
    printf(" items=%u\n", count);
    for (WORD i = 0; i < count; i++) {
        p = align4(p, base);
        read_dword(p);  // help id
        DWORD iex = read_dword(p), istyle = read_dword(p);
        short ix = short(read_word(p)), iy = short(read_word(p)), iw = short(read_word(p)), ih = short(read_word(p));
        LONG id = LONG(read_dword(p));
        std::string icls = read_sz_or_ord(p), text = read_sz_or_ord(p);
        WORD extra = read_word(p);
        p += extra;
        printf("item id=%ld class=%s style=0x%08lx exstyle=0x%08lx rect=%d,%d,%d,%d text=\"%s\"\n",
               (long)id, upper(icls).c_str(), (unsigned long)istyle, (unsigned long)iex, ix, iy, iw, ih,
               text.c_str());
    }
    return 0;
}

// --- the live dialog and About box -------------------------------------------

// WM_GETTEXT is marshalled between processes; GetWindowText on another
// process's edit control would not ask the control.
static std::string control_text(HWND w) {
    char buf[1024] = "";
    SendMessageA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

static unsigned long handle_number(HWND w) {
    return (unsigned long)(reinterpret_cast<ULONG_PTR>(w) & 0xFFFFFFFFu);
}

static int print_fields() {
    HWND d = FindWindowA("#32770", kDialogTitle);
    if (!d) {
        printf("error: no dialog\n");
        return 2;
    }
    printf("dialog %lu\nowner %lu\n", handle_number(d), handle_number(GetWindow(d, GW_OWNER)));
    for (int id = 104; id <= 107; id++) printf("%d %s\n", id, control_text(GetDlgItem(d, id)).c_str());
    for (int id = 108; id <= 111; id++)
        printf("%d %ld\n", id, (long)SendMessageA(GetDlgItem(d, id), BM_GETCHECK, 0, 0));
    return 0;
}

// "fits" or "cut", the width in pixels the text needs and the control has, and
// the text. Measured in the template's font, as the dialog manager makes it;
// a check box also needs its box and the gap after it.
static BOOL CALLBACK measure_text(HWND w, LPARAM dc_param) {
    HDC dc = reinterpret_cast<HDC>(dc_param);
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    std::string t = control_text(w);
    bool button = lstrcmpiA(cls, "Button") == 0;
    if (t.empty() || (!button && lstrcmpiA(cls, "Static") != 0)) return TRUE;
    SIZE text, zero;
    GetTextExtentPoint32A(dc, t.c_str(), int(t.size()), &text);
    GetTextExtentPoint32A(dc, "0", 1, &zero);
    LONG need = text.cx, type = GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK;
    if (button && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX))
        need += GetSystemMetrics(SM_CXMENUCHECK) + zero.cx;
    else if (button)
        need += 2 * GetSystemMetrics(SM_CXEDGE);
    RECT r;
    GetClientRect(w, &r);
    printf("%s %ld/%ld %s\n", need <= r.right ? "fits" : "cut", need, r.right, t.c_str());
    return TRUE;
}

static int print_texts() {
    HWND d = FindWindowA("#32770", kDialogTitle);
    if (!d) {
        printf("error: no dialog\n");
        return 2;
    }
    HDC dc = GetDC(d);
    LOGFONTA lf = {};
    lf.lfHeight = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
    lstrcpyA(lf.lfFaceName, "MS Sans Serif");
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    EnumChildWindows(d, measure_text, reinterpret_cast<LPARAM>(dc));
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(d, dc);
    return 0;
}

static BOOL CALLBACK longest_static(HWND w, LPARAM best) {
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    std::string t = control_text(w);
    std::string &b = *reinterpret_cast<std::string *>(best);
    if (lstrcmpiA(cls, "Static") == 0 && t.size() > b.size()) b = t;
    return TRUE;
}

static int print_about() {
    HWND box = FindWindowA("#32770", "About");
    if (!box) {
        printf("error: no About box\n");
        return 2;
    }
    HWND owner = GetWindow(box, GW_OWNER);
    printf("owner-is-dialog %d\n", owner && owner == FindWindowA("#32770", kDialogTitle));
    // The message text is the box's longest static text (its icon is a static
    // too), printed on one line with \r, \n and \\ escaped, so that the exact
    // line separators survive the trip through the shell.
    std::string text;
    EnumChildWindows(box, longest_static, reinterpret_cast<LPARAM>(&text));
    printf("text ");
    for (char c : text) {
        if (c == '\r') printf("\\r");
        else if (c == '\n') printf("\\n");
        else if (c == '\\') printf("\\\\");
        else putchar(c);
    }
    printf("\n");
    return 0;
}

// Where to click: the centre of the dialog control ID, or with "close" the
// centre of the caption's close box, found by asking the window's own
// hit-testing. Wine places its windows at their screen coordinates on the X
// root, so these are the coordinates xdotool needs.
static int print_close_box(HWND w) {
    RECT r, box = {LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    GetWindowRect(w, &r);
    for (LONG y = r.top; y < r.top + 48 && y < r.bottom; y++)
        for (LONG x = r.right - 1; x >= r.right - 64 && x >= r.left; x--)
            if (SendMessageA(w, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                if (x < box.left) box.left = x;
                if (x > box.right) box.right = x;
                if (y < box.top) box.top = y;
                if (y > box.bottom) box.bottom = y;
            }
    if (box.left > box.right) {
        printf("error: no close box\n");
        return 2;
    }
    printf("%ld %ld\n", (box.left + box.right) / 2, (box.top + box.bottom) / 2);
    return 0;
}

static int print_where(const char *title, const char *what) {
    HWND d = FindWindowA("#32770", title);
    if (d && strcmp(what, "close") == 0) return print_close_box(d);
    HWND c = d ? GetDlgItem(d, atoi(what)) : nullptr;
    RECT r;
    if (!c || !GetWindowRect(c, &r)) {
        printf("error: no control %s in \"%s\"\n", what, title);
        return 2;
    }
    printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return 0;
}

// --- a window to own the dialog ----------------------------------------------

static int run_owner(int seconds) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "PlixTestOwner";
    RegisterClassA(&wc);
    HWND w = CreateWindowA("PlixTestOwner", "Plix test owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600,
                           500, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(w);
    printf("%lu\n", handle_number(w));
    fflush(stdout);
    DWORD end = GetTickCount() + DWORD(seconds) * 1000;
    while (int(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(20);
    }
    return 0;
}

int main(int argc, char **argv) {
    // Binary output: the About text's own "\r\n" separators reach the test unaltered.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc == 3 && strcmp(argv[1], "template") == 0) return print_template(argv[2]);
    if (argc == 2 && strcmp(argv[1], "fields") == 0) return print_fields();
    if (argc == 2 && strcmp(argv[1], "texts") == 0) return print_texts();
    if (argc == 2 && strcmp(argv[1], "about") == 0) return print_about();
    if (argc == 4 && strcmp(argv[1], "where") == 0) return print_where(argv[2], argv[3]);
    if (argc == 3 && strcmp(argv[1], "owner") == 0) return run_owner(atoi(argv[2]));
    fprintf(stderr, "usage: dialog-probe template FILE | fields | texts | about | where TITLE ID|close | owner SECONDS\n");
    return 2;
}
