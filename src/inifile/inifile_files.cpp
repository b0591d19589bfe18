// Our own initialisation-file reader and writer: the file functions, reading the
// whole file and replacing it in one step (the text functions are in inifile.cpp).
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "inifile/inifile.h"

namespace {

// Larger files are refused rather than risk running out of memory; a settings
// file is a few hundred bytes.
const long kMaxFileSize = 64L << 20;

// The whole file: 1 when read, 0 when there is no such file (or folder), -1
// when it exists but cannot be read or is too large.
int read_file(const char *path, std::string *text) {
    text->clear();
    FILE *f = fopen(path, "rb");
    if (!f) return errno == ENOENT ? 0 : -1;
    // A directory opens on Linux, and gives a meaningless size and a read error.
    long size = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    bool ok = size >= 0 && size <= kMaxFileSize && fseek(f, 0, SEEK_SET) == 0;
    if (ok) text->reserve(size_t(size));
    char buf[65536];
    size_t got;
    while (ok && (got = fread(buf, 1, sizeof buf, f)) > 0) {
        text->append(buf, got);
        ok = text->size() <= size_t(kMaxFileSize);  // grown since it was measured
    }
    ok = ok && !ferror(f);
    fclose(f);
    return ok ? 1 : -1;
}

#ifdef _WIN32
std::string resolve_link(const char *path) { return path; }
void copy_permissions(const char *, const char *) {}
#else
// Writes go through a symbolic link to the file itself, which the rename would
// otherwise replace by a plain file.
std::string resolve_link(const char *path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec)) return path;
    std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : target.string();
}

// The new file keeps the old one's permissions (a private 0600 file stays so).
void copy_permissions(const char *from, const char *to) {
    std::error_code ec;
    std::filesystem::perms perms = std::filesystem::status(from, ec).permissions();
    if (!ec) std::filesystem::permissions(to, perms, ec);
}
#endif

}  // namespace

unsigned ini_file_get_int(const char *path, const char *section, const char *key, int def) {
    std::string text;
    if (!read_file(path, &text)) return unsigned(def);
    return ini_get_int(text, section, key, def);
}

int ini_file_set_string(const char *path, const char *section, const char *key, const char *value) {
    return ini_file_set_strings(path, section, &key, &value, 1);
}

int ini_file_set_strings(const char *path, const char *section, const char *const *keys,
                         const char *const *values, int count) {
    std::string target = resolve_link(path);
    std::string old_text, new_text;
    // An existing file we cannot read would otherwise be replaced by these keys alone.
    int existed = read_file(target.c_str(), &old_text);
    if (existed < 0) return 0;
    new_text = old_text;
    for (int i = 0; i < count; i++) {
        if (!ini_set_string(new_text, section, keys[i], values[i], &new_text)) {
            errno = EINVAL;
            return 0;
        }
    }
    if (new_text == old_text) return 1;  // as the platform, nothing is rewritten

    if (existed) {
        // The rename would replace a read-only file; the platform refuses to.
        FILE *f = fopen(target.c_str(), "r+b");
        if (!f) return 0;
        fclose(f);
    }
    std::string temp = target + ".new";
    FILE *f = fopen(temp.c_str(), "wb");
    if (!f) return 0;
    bool ok = fwrite(new_text.data(), 1, new_text.size(), f) == new_text.size();
    ok = (fclose(f) == 0) && ok;
    if (ok && existed) copy_permissions(target.c_str(), temp.c_str());
    if (!ok || !ini_file_replace(temp.c_str(), target.c_str())) {
        int saved = errno;
        remove(temp.c_str());
        errno = saved;
        return 0;
    }
    return 1;
}

#ifndef _WIN32
int ini_file_replace(const char *from, const char *to) { return rename(from, to) == 0; }
#endif
