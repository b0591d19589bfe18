// plix's XDG autostart entry, which KDE Plasma starts with the session: its
// text and the checks on an entry already there (pure), and the two commands.
#pragma once
#include <string>

// The entry that runs `program` (an absolute path) as "plix --idle SECONDS",
// kept switched off with `hidden`. Empty when Exec could not name `program`.
std::string autostart_entry(const std::string &program, long long seconds, bool hidden);

// Whether an entry's [Desktop Entry] group says Hidden=true: the user switched
// it off (Plasma's autostart settings write that).
bool autostart_hidden(const std::string &text);

// Whether an entry runs plix: its Exec's program is named plix.
bool autostart_runs_plix(const std::string &text);

// The entry's place: $XDG_CONFIG_HOME/autostart/plix.desktop, or under
// HOME/.config where XDG_CONFIG_HOME is unset, empty or not absolute.
std::string autostart_path(const char *config_home, const std::string &home);

// --install-autostart SECONDS and --uninstall-autostart: print what they did;
// the exit status.
int install_autostart(long long seconds);
int uninstall_autostart();
