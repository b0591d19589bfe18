// plix in the programs list of the user's ~/.xscreensaver: added, found, taken
// out, every other byte of the file kept. Free of X11: text in, text out.
#pragma once
#include <string>

// `file` with plix's line at the end of its "programs:" list, in *out; when the
// file has no list, XScreenSaver's stock one (the "*programs:" resource of
// `stock`, its app-defaults) is copied first, as it would show it. A plix entry
// there but switched off ("- plix --root") is switched on instead, and
// *switched_on set. Returns plix's number in the list (from 1; *out == file
// when it was there already), or -1 when there is neither list.
int programs_add(const std::string &file, const std::string &stock, std::string *out,
                 bool *switched_on);

// `file` without the lines that run plix, in *out. Returns 1, or 0 when plix
// is not in the list, or -1 (*out == file) when it shares a line with others.
int programs_remove(const std::string &file, std::string *out);

// The user's home folder ($HOME, else the password database's), or null after
// saying there is none.
const char *home_folder();

// "plix: cannot WHAT PATH: " errno's reason, on stderr; 1.
int cannot(const char *what, const std::string &path);

// --install-xscreensaver (install) or --uninstall-xscreensaver on
// $HOME/.xscreensaver, replaced by a rename. Prints what it did; the exit status.
int run_list_action(bool install);
