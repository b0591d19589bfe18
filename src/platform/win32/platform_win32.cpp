// The platform services, made with the real Win32 calls.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/platform.h"

const char plat_path_separator = '\\';

const char *plat_command_line() { return GetCommandLineA(); }

plat_window plat_foreground_window() {
    return reinterpret_cast<plat_window>(GetForegroundWindow());
}

int32_t plat_tick_count() { return int32_t(GetTickCount()); }

screen_rect plat_virtual_screen() {
    return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// `wide` in the ANSI code page in `out` (`size` bytes), when every character
// comes back unchanged and it fits.
static bool spelt_in_ansi(const wchar_t *wide, char *out, unsigned size) {
    if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, out, int(size), nullptr, nullptr)) return false;
    wchar_t back[MAX_PATH];
    return MultiByteToWideChar(CP_ACP, 0, out, -1, back, MAX_PATH) && wcscmp(back, wide) == 0;
}

// A path as the ANSI calls (the profile calls among them) take it: as it is where
// the code page spells it and it fits, else its short (8.3) form, which names the
// same file in ASCII wherever the volume keeps such names. False, and `out`
// empty, when neither will do.
static bool ansi_path(const wchar_t *wide, char *out, unsigned size) {
    if (spelt_in_ansi(wide, out, size)) return true;
    wchar_t short_form[MAX_PATH];
    DWORD n = GetShortPathNameW(wide, short_form, MAX_PATH);
    if (n > 0 && n < MAX_PATH && spelt_in_ansi(short_form, out, size)) return true;
    if (size) out[0] = '\0';
    return false;
}

unsigned plat_module_file_name(plat_instance instance, char *buf, unsigned size) {
    if (!size) return 0;
    HMODULE module = reinterpret_cast<HMODULE>(instance);
    wchar_t wide[MAX_PATH];
    DWORD n = GetModuleFileNameW(module, wide, MAX_PATH);
    if (n > 0 && n < MAX_PATH) return ansi_path(wide, buf, size) ? unsigned(strlen(buf)) : size;
    // Without the wide call (Windows 9x), the ANSI path is the file system's own.
    n = GetModuleFileNameA(module, buf, size);
    buf[n < size ? n : size - 1] = '\0';  // XP leaves a truncated path unterminated
    return n;
}

unsigned plat_profile_int(const char *section, const char *key, int def, const char *path) {
    return GetPrivateProfileIntA(section, key, def, path);
}

int plat_profile_write(const char *section, const char *key, const char *value, const char *path) {
    return WritePrivateProfileStringA(section, key, value, path);
}

int plat_app_data_folder(char *buf, unsigned size) {
    wchar_t path[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return 0;
    return ansi_path(path, buf, size) ? 1 : 0;
}

// The platform's own wording for an error, without its final line break.
static void error_text(DWORD error, char *why, unsigned why_size) {
    if (!why_size) return;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, why, why_size, nullptr);
    if (n == 0) snprintf(why, why_size, "error %lu", static_cast<unsigned long>(error));
    size_t len = strlen(why);
    while (len > 0 && (why[len - 1] == '\r' || why[len - 1] == '\n')) why[--len] = '\0';
}

static bool missing_error(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

plat_file_state plat_file_check(const char *path, char *why, unsigned why_size) {
    // Shared as widely as possible: only another program's lock, a permission or
    // a folder in the way stops this open.
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return plat_file_readable;
    }
    DWORD error = GetLastError();
    if (missing_error(error)) return plat_file_missing;
    error_text(error, why, why_size);
    return plat_file_unreadable;
}

int plat_create_folder(const char *path, char *why, unsigned why_size) {
    if (CreateDirectoryA(path, nullptr)) return 1;
    DWORD error = GetLastError();
    DWORD attributes = GetFileAttributesA(path);
    if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 1;
    error_text(error, why, why_size);
    return 0;
}

// The file an open handle is on, links followed, as the ANSI calls take it. False
// where the system cannot say: before Vista (which had no links to files, hence
// the call looked up here) or on a redirector that does not know.
static bool final_path(HANDLE file, char *out, unsigned size) {
    typedef DWORD(WINAPI * final_path_call)(HANDLE, LPWSTR, DWORD, DWORD);
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleW");
    if (!found) return false;
    auto call = reinterpret_cast<final_path_call>(reinterpret_cast<void (*)()>(found));
    const DWORD capacity = MAX_PATH + 8;  // room for the "\\?\UNC\" it starts with
    wchar_t wide[capacity];
    DWORD n = call(file, wide, capacity, 0);  // FILE_NAME_NORMALIZED | VOLUME_NAME_DOS
    if (n == 0 || n >= capacity) return false;
    wchar_t *p = wide;
    if (wcsncmp(p, L"\\\\?\\UNC\\", 8) == 0) {
        p += 6;  // "\\server\share\..."
        p[0] = L'\\';
    } else if (wcsncmp(p, L"\\\\?\\", 4) == 0) {
        p += 4;
    }
    return ansi_path(p, out, size);
}

// The file's data on the disk: before the move, so that a power loss leaves
// the old file or the new one, not a new name on data never written.
static bool flush_file(const char *path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BOOL ok = FlushFileBuffers(file);
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return ok != 0;
}

int plat_profile_write_all(const char *section, const char *const *keys, const char *const *values,
                           int count, const char *path, char *why, unsigned why_size) {
    // A bare name means the Windows folder to the profile calls; the copy and
    // the move need that spelt out.
    char full[MAX_PATH], folder[MAX_PATH], temp[MAX_PATH];
    if (!strchr(path, '\\')) {
        UINT n = GetWindowsDirectoryA(folder, MAX_PATH);
        if (n == 0 || n + 1 + strlen(path) >= MAX_PATH) {
            error_text(ERROR_BUFFER_OVERFLOW, why, why_size);
            return 0;
        }
        snprintf(full, sizeof full, "%s\\%s", folder, path);
    } else {
        snprintf(full, sizeof full, "%s", path);
    }
    // What is there now. No access is asked: the open waits on no pipe, and no
    // other program's lock stops it.
    DWORD attributes = 0, error = 0;
    HANDLE file = CreateFileA(full, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();  // a folder in the way is refused here
    } else {
        DWORD type = GetFileType(file);
        // Through a symbolic link the file it names is the one to replace; the
        // move would put a file in the link's place and leave the old values there.
        // Short enough that the temporary file's name fits beside it (in a folder
        // of MAX_PATH - 14 characters at most).
        char target[MAX_PATH - 14];
        if (final_path(file, target, sizeof target)) strcpy(full, target);
        CloseHandle(file);
        if (type != FILE_TYPE_DISK) {
            snprintf(why, why_size, "This is a device or a pipe, not a file.");
            return 0;
        }
        attributes = GetFileAttributesA(full);
        // Windows refuses to write or replace a read-only file; Wine lets a user
        // whom the file's mode does not stop do both. Refused alike here.
        if (attributes == INVALID_FILE_ATTRIBUTES)
            error = GetLastError();
        else if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
            error = ERROR_ACCESS_DENIED;
    }
    if (error && !missing_error(error)) {
        error_text(error, why, why_size);
        return 0;
    }
    // The temporary file shares the folder so that the move is a rename; when
    // the folder cannot be written, neither can the file be replaced.
    snprintf(folder, sizeof folder, "%s", full);
    *strrchr(folder, '\\') = '\0';
    if (!GetTempFileNameA(folder, "plx", 0, temp)) {
        error_text(GetLastError(), why, why_size);
        return 0;
    }
    // No file yet: start empty. The copy takes the file's attributes, and
    // Windows will not rewrite a hidden or system file as a plain one.
    bool ok = error != 0 ||
              (CopyFileA(full, temp, FALSE) && SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL));
    for (int i = 0; ok && i < count; i++)
        ok = WritePrivateProfileStringA(section, keys[i], values[i], temp) != 0;
    ok = ok && flush_file(temp) &&
         MoveFileExA(temp, full, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (ok) {
        // The marks the user gave the old file go on the new one. The settings are
        // written either way, so a refusal here is no failure of the write.
        DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (kept) SetFileAttributesA(full, kept | FILE_ATTRIBUTE_ARCHIVE);
        return 1;
    }
    error = GetLastError();
    DeleteFileA(temp);
    error_text(error, why, why_size);
    return 0;
}

void plat_message_box(plat_window owner, const char *text, const char *caption) {
    MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, MB_OK);
}
