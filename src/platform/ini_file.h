// Our own reader and writer of Windows initialisation files, behaving as
// GetPrivateProfileIntA and WritePrivateProfileStringA do, for the native build.
// The text functions touch no file, so they can be tested and fuzzed alone.
#pragma once
#include <string>

// The value of `key` in `section` (both matched without regard to case), or
// `def` when the section or key is missing or the value is empty, read as
// GetPrivateProfileIntA reads it.
unsigned ini_get_int(const std::string &text, const char *section, const char *key, int def);

// `text` with `key` in `section` set to `value`: an existing entry is replaced in
// place, a missing key is added to the section, a missing section is appended.
// Every other line is kept as it was.
std::string ini_set_string(const std::string &text, const char *section, const char *key,
                           const char *value);

// The same on files. A missing or unreadable file reads as empty. A write goes to
// a temporary file that replaces the old one only once complete, so a failed
// write leaves the old file intact; returns non-zero on success.
unsigned ini_file_get_int(const char *path, const char *section, const char *key, int def);
int ini_file_write(const char *path, const char *section, const char *key, const char *value);
