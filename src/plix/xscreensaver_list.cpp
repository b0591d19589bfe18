// plix's line in the user's ~/.xscreensaver: the "programs:" resource is the
// list XScreenSaver and its settings window offer, and only the user's own file
// is ours to change. Every other byte of that file is kept; it is read and
// replaced as our settings files are (inifile.h), whole or not at all.
#include "plix/xscreensaver_list.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "inifile/inifile.h"

namespace {

constexpr char plix_line[] = "  plix --root \\n";

// One physical line, its end of line included where it has one.
std::vector<std::string> split_lines(const std::string &text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

std::string without_eol(const std::string &line) {
    size_t n = line.size();
    while (n && (line[n - 1] == '\n' || line[n - 1] == '\r')) n--;
    return line.substr(0, n);
}

bool continues(const std::string &line) {
    const std::string s = without_eol(line);
    return !s.empty() && s.back() == '\\';
}

// The line where the resource "programs" starts ("programs:" in a user's file,
// "*programs:" in the app-defaults), or -1.
int programs_start(const std::vector<std::string> &lines) {
    bool inside_value = false;  // a continued line of another resource
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string &l = lines[i];
        if (!inside_value) {
            size_t p = l.find_first_not_of(" \t");
            if (p != std::string::npos && l[p] == '*') p++;
            if (p != std::string::npos && l.compare(p, 8, "programs") == 0) {
                p = l.find_first_not_of(" \t", p + 8);
                if (p != std::string::npos && l[p] == ':') return int(i);
            }
        }
        inside_value = continues(l);
    }
    return -1;
}

// The resource's last line: the first from `start` that does not continue.
size_t programs_end(const std::vector<std::string> &lines, size_t start) {
    size_t i = start;
    while (i + 1 < lines.size() && continues(lines[i])) i++;
    return i;
}

// Whether one entry of the list ("- GL: \"Name\" /path/plix --root") runs plix;
// an entry that starts with '-' is offered but switched off.
bool runs_plix(std::string entry) {
    auto skip = [&entry](size_t p) { entry.erase(0, std::min(p, entry.size())); };
    skip(entry.find_first_not_of(" \t"));
    if (!entry.empty() && entry[0] == '-') skip(entry.find_first_not_of(" \t", 1));
    const size_t word = entry.find_first_of(" \t");
    const size_t colon = entry.find(':');
    if (colon != std::string::npos && (word == std::string::npos || colon < word))
        skip(entry.find_first_not_of(" \t", colon + 1));  // a visual: "GL:", "default:"
    if (!entry.empty() && entry[0] == '"') {
        const size_t close = entry.find('"', 1);
        if (close == std::string::npos) return false;
        skip(entry.find_first_not_of(" \t", close + 1));
    }
    std::string command = entry.substr(0, entry.find_first_of(" \t"));
    const size_t slash = command.rfind('/');
    if (slash != std::string::npos) command.erase(0, slash + 1);
    return command == "plix";
}

bool switched_off(const std::string &entry) {
    const size_t p = entry.find_first_not_of(" \t");
    return p != std::string::npos && entry[p] == '-';
}

// One entry of the list and where it starts in its line.
struct list_entry {
    size_t at;
    std::string text;
};

// The text of line i of the resource without the name, the separators "\n"
// and the continuation: the entries it holds, one per "\n".
std::vector<list_entry> entries_of(const std::vector<std::string> &lines, size_t i, size_t start) {
    std::string s = without_eol(lines[i]);
    if (!s.empty() && s.back() == '\\') s.pop_back();
    size_t at = i == start ? s.find(':') + 1 : 0;
    std::vector<list_entry> out;
    for (;;) {
        const size_t sep = s.find("\\n", at);
        const std::string e = s.substr(at, sep == std::string::npos ? std::string::npos : sep - at);
        if (e.find_first_not_of(" \t") != std::string::npos) out.push_back({at, e});
        if (sep == std::string::npos) return out;
        at = sep + 2;
    }
}

// Plix's number in the list (as xscreensaver-command -select counts, from 1),
// or 0; with `on_only`, of an entry not switched off. Its line in `*line` and
// where the entry starts there in `*at`, when asked.
int plix_number(const std::vector<std::string> &lines, int start, bool on_only = false,
                size_t *line = nullptr, size_t *at = nullptr) {
    if (start < 0) return 0;
    int n = 0;
    const size_t end = programs_end(lines, size_t(start));
    for (size_t i = size_t(start); i <= end; i++)
        for (const list_entry &e : entries_of(lines, i, size_t(start))) {
            n++;
            if (!runs_plix(e.text) || (on_only && switched_off(e.text))) continue;
            if (line) *line = i;
            if (at) *at = e.at;
            return n;
        }
    return 0;
}

std::string joined(const std::vector<std::string> &lines) {
    std::string s;
    for (const std::string &l : lines) s += l;
    return s;
}

}  // namespace

int programs_add(const std::string &file, const std::string &stock, std::string *out,
                 bool *switched_on) {
    std::vector<std::string> lines = split_lines(file);
    int start = programs_start(lines);
    *switched_on = false;
    if (const int n = plix_number(lines, start, true)) {
        *out = file;
        return n;
    }
    size_t off_line, off_at;
    if (const int n = plix_number(lines, start, false, &off_line, &off_at)) {
        // Offered but switched off: on again, where it stands ("-" becomes a
        // blank, so the columns stay as the settings window wrote them).
        lines[off_line][lines[off_line].find('-', off_at)] = ' ';
        *out = joined(lines);
        *switched_on = true;
        return n;
    }
    if (start < 0) {
        // No list of the user's own: XScreenSaver shows its stock list, which
        // must stay there, now with plix at its end.
        const std::vector<std::string> stock_lines = split_lines(stock);
        const int stock_start = programs_start(stock_lines);
        if (stock_start < 0) return -1;
        if (!lines.empty() && lines.back().back() != '\n') lines.back() += '\n';
        const size_t at = lines.size();
        const size_t stock_end = programs_end(stock_lines, size_t(stock_start));
        for (size_t i = size_t(stock_start); i <= stock_end; i++) lines.push_back(stock_lines[i]);
        std::string &first = lines[at];
        first.erase(0, first.find('p'));  // "*programs:" is "programs:" here
        start = int(at);
    }
    const size_t end = programs_end(lines, size_t(start));
    std::string &last = lines[end];
    const std::string eol = last.size() > 1 && last[last.size() - 2] == '\r' ? "\r\n" : "\n";
    const std::string text = without_eol(last);
    if (text.find_first_not_of(" \t") == std::string::npos && end > size_t(start)) {
        // The list ends in an empty line: plix goes before it, nothing else changes.
        lines.insert(lines.begin() + long(end), plix_line + std::string("\\") + eol);
    } else {
        // After the last entry, so that no entry's number (`selected:`) moves.
        const bool separated = text.size() >= 2 && text.compare(text.size() - 2, 2, "\\n") == 0;
        last = text +
               (separated || entries_of(lines, end, size_t(start)).empty() ? "\\" : "\\n\\") + eol;
        lines.insert(lines.begin() + long(end) + 1, plix_line + eol);
    }
    *out = joined(lines);
    return plix_number(lines, start);
}

int programs_remove(const std::string &file, std::string *out) {
    std::vector<std::string> lines = split_lines(file);
    const int start = programs_start(lines);
    *out = file;
    if (plix_number(lines, start) == 0) return 0;
    for (size_t i = programs_end(lines, size_t(start)); i > size_t(start); i--) {
        const std::vector<list_entry> entries = entries_of(lines, i, size_t(start));
        if (entries.size() != 1 || !runs_plix(entries[0].text)) continue;
        const bool was_last = !continues(lines[i]);
        lines.erase(lines.begin() + long(i));
        if (was_last) {
            // The line before ends the list again, as it did before plix was added.
            std::string &before = lines[i - 1];
            const std::string eol = before.substr(without_eol(before).size());
            before = without_eol(before);
            before.pop_back();
            before += eol;
        }
    }
    // An entry sharing its line with others is the user's to take out.
    if (plix_number(lines, start) != 0) return -1;
    *out = joined(lines);
    return 1;
}

namespace {

// Where XScreenSaver's stock list is looked for: the user's app-defaults folder
// where XAPPLRESDIR names one, then where distributions install it.
std::vector<std::string> stock_files() {
    std::vector<std::string> files;
    const char *own = getenv("XAPPLRESDIR");
    if (own && *own) files.push_back(std::string(own) + "/XScreenSaver");
    files.push_back("/etc/X11/app-defaults/XScreenSaver");
    files.push_back("/usr/share/X11/app-defaults/XScreenSaver");
    return files;
}

// XScreenSaver's stock list: the first of those files that holds one; empty
// where there is none.
std::string stock_text() {
    std::string stock, unused;
    bool on;
    for (const std::string &file : stock_files())
        if (ini_file_read(file.c_str(), &stock) == 1 && programs_add("", stock, &unused, &on) > 0)
            return stock;
    return "";
}

}  // namespace

int cannot(const char *what, const std::string &path) {
    fprintf(stderr, "plix: cannot %s %s: %s\n", what, path.c_str(), ini_file_error_text(errno));
    return 1;
}

const char *home_folder() {
    const char *home = getenv("HOME");
    if (!home || !*home) {
        const passwd *pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || !*home) {
        fprintf(stderr, "plix: no home folder (HOME is not set)\n");
        return nullptr;
    }
    return home;
}

int run_list_action(bool install) {
    const char *home = home_folder();
    if (!home) return 1;
    // A link (to a file kept with other dotfiles, say) stays a link: the file it
    // names is the one read and replaced, keeping its owner and mode.
    const std::string path = std::string(home) + "/.xscreensaver";
    std::string text, edited;
    if (ini_file_read(path.c_str(), &text) < 0) return cannot("read", path);
    if (install) {
        bool switched_on;
        const int number = programs_add(text, stock_text(), &edited, &switched_on);
        if (number < 0) {
            std::string looked;
            for (const std::string &file : stock_files())
                looked += (looked.empty() ? "" : ", ") + file;
            fprintf(stderr,
                    "plix: %s has no programs list and XScreenSaver's own (%s) was not "
                    "found: is xscreensaver installed?\n",
                    path.c_str(), looked.c_str());
            return 1;
        }
        if (edited == text) {
            printf("plix is already number %d in the programs of %s\n", number, path.c_str());
            return 0;
        }
        if (!ini_file_write(path.c_str(), edited)) return cannot("write", path);
        printf(switched_on
                   ? "plix was switched off there: enabled in the programs of %s as number %d\n"
                   : "plix added to the programs of %s as number %d\n",
               path.c_str(), number);
        return 0;
    }
    const int removed = programs_remove(text, &edited);
    if (removed < 0) {
        fprintf(stderr,
                "plix: %s runs plix on a line shared with other programs: take it out "
                "there by hand\n",
                path.c_str());
        return 1;
    }
    if (removed == 0) {
        printf("plix is not in the programs of %s: nothing to take out\n", path.c_str());
        return 0;
    }
    // A file that holds nothing but the stock list plix's install copied
    // there goes, as it came: XScreenSaver shows that list without it. A link,
    // or a file of several names, is the user's: only the line goes.
    std::string created, stock_only;
    bool on;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
        programs_add("", stock_text(), &created, &on) > 0 &&
        programs_remove(created, &stock_only) == 1 && edited == stock_only) {
        if (unlink(path.c_str()) != 0) return cannot("remove", path);
        printf("plix taken out: %s held only XScreenSaver's own list and is removed\n",
               path.c_str());
        return 0;
    }
    if (!ini_file_write(path.c_str(), edited)) return cannot("write", path);
    printf("plix taken out of the programs of %s\n", path.c_str());
    return 0;
}
