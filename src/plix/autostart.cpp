// plix's XDG autostart entry: written and removed as ~/.xscreensaver is
// (through links, by a rename, whole or not at all), with its folders made.
#include "plix/autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "inifile/inifile.h"
#include "plix/xscreensaver_list.h"

namespace {

// The value of `key` in the [Desktop Entry] group, or empty.
std::string entry_value(const std::string &text, const std::string &key) {
    bool in_group = false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            in_group = line == "[Desktop Entry]";
            continue;
        }
        // "Key = value" is allowed, the spaces around '=' not being part of either.
        const size_t eq = line.find('=');
        if (!in_group || eq == std::string::npos) continue;
        const size_t name_end = line.find_last_not_of(" \t", eq - 1);
        if (eq == 0 || name_end == std::string::npos || line.substr(0, name_end + 1) != key)
            continue;
        const size_t value_at = line.find_first_not_of(" \t", eq + 1);
        return value_at == std::string::npos ? "" : line.substr(value_at);
    }
    return "";
}

// A path as one argument of Exec: the characters Exec could only say with
// escapes of escapes are refused, anything else beyond plain path characters
// quoted, and '%' doubled (a field code otherwise).
bool exec_argument(const std::string &path, std::string *out) {
    std::string s;
    bool plain = true;
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\' || (unsigned char)c < 0x20) return false;
        if (c == '%') s += '%';
        s += c;
        if (!isalnum((unsigned char)c) && !strchr("-/._+,:@%=", c)) plain = false;
    }
    *out = plain ? s : "\"" + s + "\"";
    return true;
}

// This program's absolute path, for Exec; empty where the system does not tell it.
std::string own_path() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0 || path[0] != '/') return "";
    return std::string(path, size_t(n));
}

// Every folder above `path`, as mkdir -p makes them; those made are the user's
// alone, as ~/.config is made elsewhere.
bool make_folders(const std::string &path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// A path for the shell, in single quotes.
std::string shell_quoted(const std::string &s) {
    std::string q = "'";
    for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

std::string autostart_entry(const std::string &program, long long seconds, bool hidden) {
    std::string exec;
    if (!exec_argument(program, &exec)) return "";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Plix\n"
           "Comment=The Plix screen saver, shown once the session has been idle\n"
           "Exec=" +
           exec + " --idle " + std::to_string(seconds) +
           "\n"
           // Elsewhere the compositor's own configuration starts it (sway's exec).
           "OnlyShowIn=KDE;\n" +
           (hidden ? "Hidden=true\n" : "");
}

bool autostart_hidden(const std::string &text) { return entry_value(text, "Hidden") == "true"; }

bool autostart_runs_plix(const std::string &text) {
    std::string exec = entry_value(text, "Exec");
    if (!exec.empty() && exec[0] == '"')
        exec = exec.substr(1, exec.find('"', 1) - 1);
    else
        exec.erase(std::min(exec.find_first_of(" \t"), exec.size()));
    const size_t slash = exec.rfind('/');
    return (slash == std::string::npos ? exec : exec.substr(slash + 1)) == "plix";
}

std::string autostart_path(const char *config_home, const std::string &home) {
    const std::string base =
        config_home && config_home[0] == '/' ? std::string(config_home) : home + "/.config";
    return base + "/autostart/plix.desktop";
}

int install_autostart(long long seconds) {
    const char *home = home_folder();
    if (!home) return 1;
    const std::string path = autostart_path(getenv("XDG_CONFIG_HOME"), home);
    const std::string program = own_path();
    if (program.empty()) {
        fprintf(stderr, "plix: cannot tell this program's own path (/proc/self/exe)\n");
        return 1;
    }
    std::string old;
    const int found = ini_file_read(path.c_str(), &old);
    if (found < 0) return cannot("read", path);
    if (found == 1 && !autostart_runs_plix(old)) {
        fprintf(stderr, "plix: %s is not plix's entry: left as it is\n", path.c_str());
        return 1;
    }
    // Switched off in Plasma's settings, it stays off; it runs the new SECONDS
    // when the user switches it on there.
    const bool hidden = found == 1 && autostart_hidden(old);
    const std::string text = autostart_entry(program, seconds, hidden);
    if (text.empty()) {
        fprintf(
            stderr,
            "plix: an autostart entry cannot name %s (it holds \" ` $ \\ or a control character)\n",
            program.c_str());
        return 1;
    }
    if (text != old) {
        if (!make_folders(path)) return cannot("make the folder of", path);
        if (!ini_file_write(path.c_str(), text)) return cannot("write", path);
    }
    const std::string now =
        "setsid -f " + shell_quoted(program) + " --idle " + std::to_string(seconds);
    if (hidden)
        printf(
            "%s is switched off (Hidden=true): left off, now with --idle %lld; switch it on in "
            "Plasma's autostart settings\n",
            path.c_str(), seconds);
    else
        printf(
            "%s %s: KDE Plasma starts plix --idle %lld with each session\n"
            "To start it now, without logging in again: %s\n",
            path.c_str(), text == old ? "was already so" : "written", seconds, now.c_str());
    return 0;
}

int uninstall_autostart() {
    const char *home = home_folder();
    if (!home) return 1;
    const std::string path = autostart_path(getenv("XDG_CONFIG_HOME"), home);
    std::string old;
    const int found = ini_file_read(path.c_str(), &old);
    if (found < 0) return cannot("read", path);
    if (found == 0) {
        printf("%s is not there: nothing to take out\n", path.c_str());
        return 0;
    }
    if (!autostart_runs_plix(old)) {
        fprintf(stderr, "plix: %s is not plix's entry: left as it is\n", path.c_str());
        return 1;
    }
    // A link goes, the file it names (kept with other dotfiles, say) stays.
    struct stat st;
    const bool link = lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    if (unlink(path.c_str()) != 0) return cannot("remove", path);
    printf(link ? "%s taken out (a link: the file it named is kept)\n" : "%s taken out\n",
           path.c_str());
    return 0;
}
