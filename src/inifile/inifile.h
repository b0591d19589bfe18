// Our own reader and writer of Windows initialisation files, for builds without
// Win32: the results of GetPrivateProfileIntA and WritePrivateProfileStringA as
// Wine gives them. The text functions touch no file, so they can be tested and
// fuzzed alone; all of them run in time linear in the file's size.
#pragma once
#include <string>

// GetPrivateProfileIntA on the file contents `text`: the value of `key` in the
// first section named `section` (names compared without regard to ASCII case or
// surrounding blanks), read as a number; `def` when the section or the key is
// missing or its value is empty.
unsigned ini_get_int(const std::string &text, const char *section, const char *key, int def);

// WritePrivateProfileStringA on the file contents `text`: `*out` becomes `text`
// with `key` in the first section named `section` set to `value`. Only the key's
// own line changes: an existing entry is rewritten in place, a new one follows
// the section's last entry, a missing section is appended; every other byte is
// kept. Returns false and leaves `*out` alone for names or a value that cannot be
// stored (an empty name, a line break, '=' in a key, ']' in a section).
bool ini_set_string(const std::string &text, const char *section, const char *key,
                    const char *value, std::string *out);

// The same on files. Only a regular file of at most 64 MiB is read: a missing
// file, or one that is refused or cannot be read, reads as `def`. A write goes
// through symbolic links to the file they name. A write that changes the file
// goes to a temporary file beside it under a name of its own, with the old
// one's owner and mode, that replaces the old one only once complete and on the
// disk (the folder synced after the rename); a file with other names (hard links)
// or whose owner cannot be given to a new file is written in place instead, the
// room for it taken first. A write that cannot be done (unreadable, read-only,
// oversized or not a regular file, missing or read-only directory, a directory
// in the way) leaves the old file as it was and returns 0. Returns non-zero on
// success; on failure errno says why (ini_file_error_text).
unsigned ini_file_get_int(const char *path, const char *section, const char *key, int def);
int ini_file_set_string(const char *path, const char *section, const char *key, const char *value);

// `count` keys of one section set in one write: the file gets all of them or,
// when any cannot be stored, none.
int ini_file_set_strings(const char *path, const char *section, const char *const *keys,
                         const char *const *values, int count);

// Any such file whole, read and written as above (links followed, at most
// 64 MiB, only a regular file, the old file's owner and mode kept): for the
// other small text files the programs keep. Read: 1, 0 when there is no such
// file, -1 with errno; write: non-zero on success, 0 with errno.
int ini_file_read(const char *path, std::string *text);
int ini_file_write(const char *path, const std::string &text);

// Whether `path` can be read as a settings file, without waiting on a FIFO or
// opening a device: 1 yes, 0 there is no such file (or folder), -1 it exists but
// cannot be, errno saying why: EISDIR a folder, ENODEV anything else that is not
// a regular file, EFBIG a file over 64 MiB, or the system's reason.
int ini_file_check(const char *path);

// The text for errno after one of the file functions failed: the C library's,
// but "not a regular file" for ENODEV, which no system text says, and the limit
// for EFBIG.
const char *ini_file_error_text(int err);

// Puts file `from` in the place of file `to` in one step, replacing it; non-zero
// on success. POSIX rename in inifile_files.cpp; MoveFileExA in inifile_win32.cpp,
// since the C library's rename will not replace a file on Windows and
// std::filesystem there takes narrow paths as UTF-8 rather than the ANSI code page.
int ini_file_replace(const char *from, const char *to);
