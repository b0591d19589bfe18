// The command line shared by plix-ini (our settings-file code) and the end-to-end
// tests' ini_probe.exe (the platform's profile calls), so their outputs compare:
//   get PATH SECTION [-d DEFAULT] KEY...   one value a line, as a signed number
//   write PATH SECTION KEY VALUE           1 on success, else 0
//   batch FILE   one command a line, fields separated by tabs, the default always
//                given ("get PATH SECTION DEFAULT KEY..."); one output line each,
//                the values of a get separated by spaces. One process for many
//                queries: a Wine start costs far more than the queries.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

typedef unsigned (*ini_get_fn)(const char *path, const char *section, const char *key, int def);
typedef int (*ini_write_fn)(const char *path, const char *section, const char *key,
                            const char *value);

inline bool ini_command(const std::vector<std::string> &args, ini_get_fn get, ini_write_fn put,
                        const char *separator) {
    if (args.size() >= 4 && args[0] == "get") {
        int def = atoi(args[3].c_str());
        for (size_t i = 4; i < args.size(); i++)
            printf("%s%d", i > 4 ? separator : "",
                   int(get(args[1].c_str(), args[2].c_str(), args[i].c_str(), def)));
        printf("\n");
        return true;
    }
    if (args.size() == 5 && args[0] == "write") {
        printf("%d\n",
               put(args[1].c_str(), args[2].c_str(), args[3].c_str(), args[4].c_str()) ? 1 : 0);
        return true;
    }
    return false;
}

inline int ini_commands_main(int argc, char **argv, ini_get_fn get, ini_write_fn put) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "batch") {
        FILE *f = fopen(args[1].c_str(), "rb");
        if (!f) return 2;
        std::vector<std::string> fields(1);
        for (int c; (c = fgetc(f)) != EOF;) {
            if (c == '\t') {
                fields.emplace_back();
            } else if (c == '\n') {
                if (!ini_command(fields, get, put, " ")) printf("bad command\n");
                fields.assign(1, "");
            } else if (c != '\r') {
                fields.back() += char(c);
            }
        }
        fclose(f);
        fflush(stdout);
        return 0;
    }
    if (args.size() >= 5 && args[0] == "get" && args[3] == "-d") {
        args.erase(args.begin() + 3);
    } else if (args.size() >= 3 && args[0] == "get") {
        args.insert(args.begin() + 3, "0");
    }
    if (ini_command(args, get, put, "\n")) return 0;
    fprintf(stderr,
            "usage: %s get PATH SECTION [-d DEFAULT] KEY...\n"
            "       %s write PATH SECTION KEY VALUE\n"
            "       %s batch FILE\n",
            argv[0], argv[0], argv[0]);
    return 2;
}
