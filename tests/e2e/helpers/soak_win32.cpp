// Drives a running saver through many screen and display changes and reads what
// its process holds, for the soak cases (cases/saver.sh).
// Usage: plix-soak.exe counts CLASS
//          prints "gdi=N user=N gdi_table=N handles=N windows=N working_set_kb=N"
//        plix-soak.exe modes N CLASS WxH WxH
//          N display-mode changes, alternating, each waited for until the window
//          of CLASS has the new size (5 s at most)
//        plix-soak.exe power N CLASS
//          N display off/on pairs, each handled by the window before the next
// GetGuiResources is a stub under Wine (always 0), so counts also reads the
// process's GDI handle table, which Wine keeps as Windows does (the PEB's
// GdiSharedHandleTable, 24-byte entries), and counts its windows.
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

HWND find(const char *cls) {
    HWND w = FindWindowA(cls, nullptr);
    if (!w) fprintf(stderr, "plix-soak: no window of class %s\n", cls);
    return w;
}

struct window_count {
    DWORD pid;
    int n;
};

BOOL CALLBACK count_child(HWND w, LPARAM data) {
    auto *c = reinterpret_cast<window_count *>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == c->pid) c->n++;
    return TRUE;
}

BOOL CALLBACK count_top(HWND w, LPARAM data) {
    count_child(w, data);
    EnumChildWindows(w, count_child, data);
    return TRUE;
}

// The table's entry as Wine and 64-bit Windows lay it out.
struct gdi_entry {
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 user;
};
static_assert(sizeof(gdi_entry) == 24, "the table's entries are 24 bytes");
constexpr size_t gdi_entries = 0x10000;

// Live objects in the process's GDI handle table, stock objects left out; -1
// where it cannot be read.
long gdi_table_count(HANDLE process) {
    using query_fn = NTSTATUS(WINAPI *)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<query_fn>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info = {};
    if (!query || query(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0) return -1;
    const size_t offset = sizeof(void *) == 8 ? 0xf8 : 0x94;  // GdiSharedHandleTable in the PEB
    void *table = nullptr;
    if (!ReadProcessMemory(process, reinterpret_cast<char *>(info.PebBaseAddress) + offset, &table,
                           sizeof table, nullptr) ||
        !table)
        return -1;
    std::vector<gdi_entry> entries(gdi_entries);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(gdi_entry), nullptr))
        return -1;
    long n = 0;
    for (const gdi_entry &e : entries)
        if (e.type != 0 && !(e.unique & 0x80)) n++;
    return n;
}

int counts(const char *cls) {
    HWND w = find(cls);
    if (!w) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) {
        fprintf(stderr, "plix-soak: cannot open process %lu\n", pid);
        return 1;
    }
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, &memory, sizeof memory);
    window_count windows = {pid, 0};
    EnumWindows(count_top, reinterpret_cast<LPARAM>(&windows));
    printf("gdi=%lu user=%lu gdi_table=%ld handles=%lu windows=%d working_set_kb=%lu\n",
           GetGuiResources(process, GR_GDIOBJECTS), GetGuiResources(process, GR_USEROBJECTS),
           gdi_table_count(process), handles, windows.n,
           static_cast<unsigned long>(memory.WorkingSetSize / 1024));
    CloseHandle(process);
    return 0;
}

int modes(int n, const char *cls, const char *const sizes[2]) {
    HWND w = find(cls);
    if (!w) return 1;
    DEVMODEA mode[2] = {};
    for (int i = 0; i < 2; i++) {
        mode[i].dmSize = sizeof mode[i];
        mode[i].dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        if (sscanf(sizes[i], "%lux%lu", &mode[i].dmPelsWidth, &mode[i].dmPelsHeight) != 2) return 2;
    }
    const DWORD t0 = GetTickCount();
    for (int i = 0; i < n; i++) {
        const DEVMODEA &m = mode[i % 2];
        const LONG result = ChangeDisplaySettingsExA(nullptr, const_cast<DEVMODEA *>(&m), nullptr, 0, nullptr);
        RECT r = {};
        bool followed = false;
        for (int t = 0; t < 500 && !followed; t++) {
            GetWindowRect(w, &r);
            followed = DWORD(r.right - r.left) == m.dmPelsWidth && DWORD(r.bottom - r.top) == m.dmPelsHeight;
            if (!followed) Sleep(10);
        }
        if (!followed) {
            fprintf(stderr, "plix-soak: change %d to %lux%lu (result %ld): the window stayed %ldx%ld\n", i,
                    m.dmPelsWidth, m.dmPelsHeight, result, r.right - r.left, r.bottom - r.top);
            return 1;
        }
    }
    printf("%d changes in %lu ms\n", n, GetTickCount() - t0);
    return 0;
}

int power(int n, const char *cls) {
    HWND w = find(cls);
    if (!w) return 1;
    // GUID_CONSOLE_DISPLAY_STATE, off (0) and on (1), placed once in the
    // window's process: it reads them when it handles each message.
    static const GUID display_state = {
        0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
    BYTE buffer[2][sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)] = {};
    for (DWORD state = 0; state < 2; state++) {
        auto *s = reinterpret_cast<POWERBROADCAST_SETTING *>(buffer[state]);
        s->PowerSetting = display_state;
        s->DataLength = sizeof(DWORD);
        memcpy(s->Data, &state, sizeof state);
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    void *remote = process ? VirtualAllocEx(process, nullptr, sizeof buffer, MEM_COMMIT | MEM_RESERVE,
                                            PAGE_READWRITE)
                           : nullptr;
    if (!remote || !WriteProcessMemory(process, remote, buffer, sizeof buffer, nullptr)) {
        fprintf(stderr, "plix-soak: cannot write into process %lu\n", pid);
        return 1;
    }
    CloseHandle(process);
    const DWORD t0 = GetTickCount();
    for (int i = 0; i < 2 * n; i++) {
        DWORD_PTR answer = 0;
        const LPARAM setting = reinterpret_cast<LPARAM>(static_cast<BYTE *>(remote) + (i % 2) * sizeof buffer[0]);
        if (!SendMessageTimeoutA(w, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, setting, SMTO_NORMAL, 5000,
                                 &answer)) {
            fprintf(stderr, "plix-soak: message %d not handled within 5 s\n", i);
            return 1;
        }
    }
    printf("%d off/on pairs in %lu ms\n", n, GetTickCount() - t0);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    const int n = argc > 2 ? atoi(argv[2]) : 0;
    if (argc == 3 && strcmp(argv[1], "counts") == 0) return counts(argv[2]);
    if (argc == 6 && strcmp(argv[1], "modes") == 0 && n > 0) return modes(n, argv[3], argv + 4);
    if (argc == 4 && strcmp(argv[1], "power") == 0 && n > 0) return power(n, argv[3]);
    fprintf(stderr, "usage: plix-soak counts CLASS | modes N CLASS WxH WxH | power N CLASS\n");
    return 2;
}
