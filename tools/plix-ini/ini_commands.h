// The command line shared by plix-ini (our settings-file code) and the end-to-end
// tests' ini_probe.exe (the platform's profile calls), so their outputs compare:
//   get PATH SECTION [-d DEFAULT] KEY...   one value a line, as a signed number
//   write PATH SECTION KEY VALUE           1 on success, else 0
//   batch FILE   one command a line, fields separated by tabs, the default always
//                given ("get PATH SECTION DEFAULT KEY..."); one output line each,
//                the values of a get separated by spaces. One process for many
//                queries: a Wine start costs far more than the queries. FILE
//                (which may be a pipe) is read whole first, 64 MiB at most.
// Exit status: 0; 1 when a write failed or the file of a get exists but cannot be
// read (its values are then the default); 2 bad arguments or a batch FILE that
// cannot be read. A batch's answers are in its output: its status is 0.
#pragma once
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

typedef unsigned (*ini_get_fn)(const char *path, const char *section, const char *key, int def);
typedef int (*ini_write_fn)(const char *path, const char *section, const char *key,
                            const char *value);
// Before a get: false, having said why on stderr, when the file exists but cannot
// be read. Null where the reader cannot tell (the platform's).
typedef bool (*ini_check_fn)(const char *path);

// One command: its exit status, or -1 when `args` are no command.
inline int ini_command(const std::vector<std::string> &args, ini_get_fn get, ini_write_fn put,
                       ini_check_fn check, const char *separator) {
    if (args.size() >= 4 && args[0] == "get") {
        const bool readable = !check || check(args[1].c_str());
        int def = atoi(args[3].c_str());
        for (size_t i = 4; i < args.size(); i++)
            printf("%s%d", i > 4 ? separator : "",
                   int(get(args[1].c_str(), args[2].c_str(), args[i].c_str(), def)));
        printf("\n");
        return readable ? 0 : 1;
    }
    if (args.size() == 5 && args[0] == "write") {
        const bool done = put(args[1].c_str(), args[2].c_str(), args[3].c_str(), args[4].c_str());
        printf("%d\n", done ? 1 : 0);
        return done ? 0 : 1;
    }
    return -1;
}

// The whole batch file, up to 64 MiB (a batch is a few thousand lines; this
// stops an endless one, /dev/zero say); false, having said why, otherwise.
inline bool ini_read_batch(const char *program, const char *path, std::string *text) {
    const size_t limit = size_t(64) << 20;
    FILE *f = fopen(path, "rb");
    if (!f) {
        fprintf(stderr, "%s: cannot read %s: %s\n", program, path, strerror(errno));
        return false;
    }
    char buf[65536];
    size_t got;
    while (text->size() <= limit && (got = fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, got);
    const bool failed = ferror(f) != 0;
    fclose(f);
    if (failed || text->size() > limit) {
        fprintf(stderr, "%s: cannot read %s: %s\n", program, path,
                failed ? "read error" : "larger than 64 MiB");
        return false;
    }
    return true;
}

inline int ini_commands_main(int argc, char **argv, ini_get_fn get, ini_write_fn put,
                             ini_check_fn check = nullptr) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "batch") {
        std::string text;
        if (!ini_read_batch(argv[0], args[1].c_str(), &text)) return 2;
        std::vector<std::string> fields(1);
        for (char c : text) {
            if (c == '\t') {
                fields.emplace_back();
            } else if (c == '\n') {
                if (ini_command(fields, get, put, check, " ") < 0) printf("bad command\n");
                fields.assign(1, "");
            } else if (c != '\r') {
                fields.back() += c;
            }
        }
        fflush(stdout);
        return 0;
    }
    if (args.size() >= 5 && args[0] == "get" && args[3] == "-d") {
        args.erase(args.begin() + 3);
    } else if (args.size() >= 3 && args[0] == "get") {
        args.insert(args.begin() + 3, "0");
    }
    const int status = ini_command(args, get, put, check, "\n");
    if (status >= 0) return status;
    fprintf(stderr,
            "usage: %s get PATH SECTION [-d DEFAULT] KEY...\n"
            "       %s write PATH SECTION KEY VALUE\n"
            "       %s batch FILE\n",
            argv[0], argv[0], argv[0]);
    return 2;
}
