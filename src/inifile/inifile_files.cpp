// Our own initialisation-file reader and writer: the file functions, reading the
// whole file and replacing it in one step (the text functions are in inifile.cpp).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>  // _commit
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>

#include "inifile/inifile.h"

#ifndef O_BINARY
#define O_BINARY 0
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

namespace {

// Larger files are refused rather than risk running out of memory; a settings
// file is a few hundred bytes.
constexpr long most_bytes = 64L << 20;

// Why a file with these properties is no settings file: 0 when it may be one.
int refusal(const struct stat &st) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return ENODEV;
    if (st.st_size > most_bytes) return EFBIG;
    return 0;
}

bool is_missing(int err) { return err == ENOENT || err == ENOTDIR; }

// The settings file at `path` opened for reading, with its properties in `*st`;
// -1 with errno set when it is refused. Nothing but a regular file is opened: a
// FIFO would wait for a writer, and opening a device may act on it. Checked again
// once open, should the name have changed hands in between.
int open_settings(const char *path, struct stat *st) {
    if (stat(path, st) != 0) return -1;
    int err = refusal(*st);
    if (err) {
        errno = err;
        return -1;
    }
    int fd = open(path, O_RDONLY | O_BINARY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    err = fstat(fd, st) != 0 ? errno : refusal(*st);
    if (err) {
        close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

// The whole file: 1 when read, 0 when there is no such file (or folder), -1
// (errno saying why, `text` empty) when it exists but cannot be read.
int read_file(const char *path, std::string *text, struct stat *st) {
    text->clear();
    int fd = open_settings(path, st);
    if (fd < 0) return is_missing(errno) ? 0 : -1;
    text->reserve(size_t(st->st_size));
    char buf[65536];
    int err = 0;
    for (;;) {
        int got = int(read(fd, buf, sizeof buf));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got < 0) err = errno;
            break;
        }
        text->append(buf, size_t(got));
        if (text->size() > size_t(most_bytes)) {  // grown since it was measured
            err = EFBIG;
            break;
        }
    }
    close(fd);
    if (!err) return 1;
    text->clear();
    errno = err;
    return -1;
}

bool write_all(int fd, const std::string &text) {
    for (size_t done = 0; done < text.size();) {
        unsigned chunk = unsigned(std::min<size_t>(text.size() - done, 1u << 20));
        int put = int(write(fd, text.data() + done, chunk));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = EIO;
            return false;
        }
        done += size_t(put);
    }
    return true;
}

#ifdef _WIN32
std::string resolve_link(const char *path) { return path; }
#else
// Writes go through a symbolic link to the file it names, existing or not, which
// the rename would otherwise replace by a plain file: each link in turn, as the
// system follows them (after 40, a loop, the write fails on the last one).
std::string resolve_link(const char *path) {
    std::string p = path;
    for (int i = 0; i < 40; i++) {
        char target[4096];
        ssize_t n = readlink(p.c_str(), target, sizeof target);
        if (n <= 0 || size_t(n) >= sizeof target) break;  // not a link
        // A relative target is taken from the link's folder.
        const size_t slash = p.rfind('/');
        p.erase(target[0] == '/' || slash == std::string::npos ? 0 : slash + 1);
        p.append(target, size_t(n));
    }
    return p;
}
#endif

// Data and the folder entry on the disk before the call returns, so that a
// power loss after a replacement cannot bring back the old file, or an empty one.
bool sync_file(int fd) {
#ifdef _WIN32
    return _commit(fd) == 0;
#else
    return fsync(fd) == 0 || errno == EINVAL;  // a file system that cannot sync
#endif
}

void sync_folder(const std::string &file) {
#ifdef _WIN32
    (void)file;  // the move is written through there
#else
    const size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);  // the new file is in place either way: nothing to undo on failure
    close(fd);
#endif
}

// A new file beside `target`, "<target>.XXXXXX" with six random letters, and
// its descriptor; -1 with errno set. O_EXCL: no file already there (another
// writer's unfinished one, or a file of the user's) is opened or replaced.
int create_temp(const std::string &target, int mode, std::string *temp) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static unsigned long long state;
    state += (unsigned long long)time(nullptr) * 0x9e3779b97f4a7c15ull + unsigned(getpid()) +
             (unsigned long long)(uintptr_t)temp + (unsigned long long)clock();
    for (int tries = 0; tries < 100; tries++) {
        unsigned long long x = state += 0x9e3779b97f4a7c15ull;  // splitmix64
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
        x ^= x >> 31;
        *temp = target + '.';
        for (int i = 0; i < 6; i++, x /= 62) *temp += letters[x % 62];
        int fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// `text` in the place of `target` through a temporary file beside it, which
// takes the old file's owner and mode (`old`; null for a new file) before it
// holds any data. 1 done; 0 failed, errno saying why, the old file as it was;
// -1 when a new file cannot be what the old one was (another name of it, a
// hard link, would keep the old contents; its owner cannot be given away), so
// it is to be written in place.
int replace_file(const std::string &target, const std::string &text, const struct stat *old) {
#ifdef _WIN32
    (void)old;  // links and owners are not kept there
    const int mode = 0666;
#else
    if (old && old->st_nlink > 1) return -1;
    const int mode = old ? 0600 : 0666;  // the old file's mode follows; nobody reads meanwhile
#endif
    std::string temp;
    int fd = create_temp(target, mode, &temp);
    if (fd < 0) return 0;
    bool ok = true;
#ifndef _WIN32
    if (old && fchown(fd, old->st_uid, old->st_gid) != 0) {
        close(fd);
        unlink(temp.c_str());
        return -1;
    }
    ok = !old || fchmod(fd, old->st_mode & 07777) == 0;  // after fchown, which clears set-id bits
#endif
    ok = ok && write_all(fd, text) && sync_file(fd);
    ok = close(fd) == 0 && ok;
    if (!ok || !ini_file_replace(temp.c_str(), target.c_str())) {
        int saved = errno;
        unlink(temp.c_str());
        errno = saved;
        return 0;
    }
    sync_folder(target);
    return 1;
}

#ifndef _WIN32
// Room for `size` bytes in the file `fd`, now `old_size` long (smaller). Where
// the file system has no fallocate, the C library's stand-in needs to read, which
// this write-only descriptor cannot (EBADF), or it is not offered at all: the
// new text's tail is written past the old end instead, the old part untouched,
// and taken off again when the disk is full. 0, or the error.
int reserve(int fd, const std::string &text, off_t old_size) {
    int err = posix_fallocate(fd, 0, off_t(text.size()));
    if (err != EOPNOTSUPP && err != ENOTSUP && err != EBADF && err != ENOSYS) return err;
    if (lseek(fd, old_size, SEEK_SET) == old_size && write_all(fd, text.substr(size_t(old_size))))
        return 0;
    err = errno;
    if (ftruncate(fd, old_size) != 0) return errno;
    return err;
}
#endif

// `text` over the contents of the file at `path` (`old_size` bytes long). The
// room a longer text needs is taken first, so a full disk leaves the file whole.
bool write_in_place(const std::string &path, const std::string &text, off_t old_size) {
#ifdef _WIN32
    (void)path, (void)text, (void)old_size;
    errno = EPERM;
    return false;
#else
    int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const off_t size = off_t(text.size());
    int err = size > old_size ? reserve(fd, text, old_size) : 0;
    if (!err && !(lseek(fd, 0, SEEK_SET) == 0 && write_all(fd, text) && ftruncate(fd, size) == 0 &&
                  sync_file(fd)))
        err = errno;
    if (close(fd) != 0 && !err) err = errno;
    errno = err;
    return !err;
#endif
}

// `text` as the whole of the file `target` (links resolved; `existed` and `st`
// as read_file gave them): in its place through a temporary file, or in place
// where a new file could not be what the old one was. 1, or 0 with errno set.
int put_text(const std::string &target, const std::string &text, int existed,
             const struct stat &st) {
    if (existed) {
        // The rename would replace a read-only file; the platform refuses to.
        int fd = open(target.c_str(), O_WRONLY | O_BINARY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return 0;
        close(fd);  // before the replacement: Windows replaces no open file
    }
    int done = replace_file(target, text, existed ? &st : nullptr);
    return done < 0 ? write_in_place(target, text, st.st_size) ? 1 : 0 : done;
}

}  // namespace

int ini_file_check(const char *path) {
    struct stat st;
    int fd = open_settings(path, &st);
    if (fd < 0) return is_missing(errno) ? 0 : -1;
    close(fd);
    return 1;
}

const char *ini_file_error_text(int err) {
    if (err == ENODEV) return "not a regular file";
    if (err == EFBIG) return "file too large (over 64 MiB)";
    return strerror(err);
}

unsigned ini_file_get_int(const char *path, const char *section, const char *key, int def) {
    std::string text;
    struct stat st;
    if (read_file(path, &text, &st) != 1) return unsigned(def);
    return ini_get_int(text, section, key, def);
}

int ini_file_set_string(const char *path, const char *section, const char *key, const char *value) {
    return ini_file_set_strings(path, section, &key, &value, 1);
}

int ini_file_set_strings(const char *path, const char *section, const char *const *keys,
                         const char *const *values, int count) {
    std::string target = resolve_link(path);
    std::string old_text, new_text;
    struct stat st = {};
    // An existing file we cannot read would otherwise be replaced by these keys
    // alone; a FIFO or a device by a plain file.
    int existed = read_file(target.c_str(), &old_text, &st);
    if (existed < 0) return 0;
    new_text = old_text;
    for (int i = 0; i < count; i++) {
        if (!ini_set_string(new_text, section, keys[i], values[i], &new_text)) {
            errno = EINVAL;
            return 0;
        }
    }
    if (new_text == old_text) return 1;  // as the platform, nothing is rewritten
    return put_text(target, new_text, existed, st);
}

int ini_file_read(const char *path, std::string *text) {
    struct stat st;
    return read_file(resolve_link(path).c_str(), text, &st);
}

int ini_file_write(const char *path, const std::string &text) {
    std::string target = resolve_link(path), old_text;
    struct stat st = {};
    int existed = read_file(target.c_str(), &old_text, &st);
    if (existed < 0) return 0;
    return put_text(target, text, existed, st);
}

#ifndef _WIN32
int ini_file_replace(const char *from, const char *to) { return rename(from, to) == 0; }
#endif
