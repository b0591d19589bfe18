// Tells a window that the display went off, on or dimmed, as Windows does: a
// POWERBROADCAST_SETTING for GUID_CONSOLE_DISPLAY_STATE placed in the window's
// process and WM_POWERBROADCAST / PBT_POWERSETTINGCHANGE posted with its address
// (under Wine nothing sends it).
// Usage: plix-power.exe CLASS STATE [other-setting | length=N | null]
// CLASS: the window's class (a top-level or child window); STATE: off, on,
// dimmed or a number. other-setting names another GUID, length=N gives DataLength
// N (the data still a DWORD), null posts no address at all. Exit status 0 once
// posted, 1 when there is no such window or its process cannot be written.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static const GUID display_state = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
// GUID_ACDC_POWER_SOURCE: a setting the saver does not follow.
static const GUID other_setting = {
    0x5d3e9a59, 0xe9d5, 0x4b00, {0xa6, 0xbd, 0xff, 0x34, 0xff, 0x51, 0x65, 0x48}};

static const char *wanted_class;
static HWND found;

static BOOL CALLBACK find_window(HWND w, LPARAM top_level) {
    char name[256];
    if (GetClassNameA(w, name, sizeof name) && strcmp(name, wanted_class) == 0) {
        found = w;
        return FALSE;
    }
    if (top_level) EnumChildWindows(w, find_window, 0);
    return found ? FALSE : TRUE;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: plix-power CLASS off|on|dimmed|N [other-setting|length=N|null]\n");
        return 2;
    }
    wanted_class = argv[1];
    EnumWindows(find_window, 1);
    if (!found) {
        fprintf(stderr, "plix-power: no window of class %s\n", argv[1]);
        return 1;
    }
    DWORD state = strcmp(argv[2], "off") == 0      ? 0
                  : strcmp(argv[2], "on") == 0     ? 1
                  : strcmp(argv[2], "dimmed") == 0 ? 2
                                                   : DWORD(strtoul(argv[2], nullptr, 10));
    const char *variant = argc > 3 ? argv[3] : "";
    if (strcmp(variant, "null") == 0)
        return PostMessageA(found, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0) ? 0 : 1;

    BYTE buffer[sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)] = {};
    auto *setting = reinterpret_cast<POWERBROADCAST_SETTING *>(buffer);
    setting->PowerSetting = strcmp(variant, "other-setting") == 0 ? other_setting : display_state;
    setting->DataLength = strncmp(variant, "length=", 7) == 0
                              ? DWORD(strtoul(variant + 7, nullptr, 10))
                              : DWORD(sizeof(DWORD));
    memcpy(setting->Data, &state, sizeof state);

    // The memory stays with the target: it may read it whenever it gets round to it.
    DWORD pid = 0;
    GetWindowThreadProcessId(found, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    void *remote = process ? VirtualAllocEx(process, nullptr, sizeof buffer,
                                            MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                           : nullptr;
    if (!remote || !WriteProcessMemory(process, remote, buffer, sizeof buffer, nullptr)) {
        fprintf(stderr, "plix-power: cannot write into process %lu\n", pid);
        return 1;
    }
    CloseHandle(process);
    return PostMessageA(found, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                        reinterpret_cast<LPARAM>(remote))
               ? 0
               : 1;
}
