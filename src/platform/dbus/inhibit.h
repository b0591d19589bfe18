// The desktop's inhibitions of the screen saver, as the session bus's power
// manager holds them (org.freedesktop.PowerManagement, its interface
// org.freedesktop.PowerManagement.Inhibit): asked when idle comes, and watched
// for a change while one is held.
#pragma once

// Whether an inhibition is held now (HasInhibit). No session bus, no such
// service (sway has none) or no answer counts as none.
bool inhibition_held();

// The bus connection's descriptor, to wait on beside the others (-1 before the
// first question, or without a bus): readable when a change may have come.
int inhibition_fd();

// Takes what came on the bus without waiting; true when the inhibitions may
// have changed (HasInhibitChanged, the service came or went, the bus was lost):
// time to ask again.
bool inhibition_news();

// Closes the connection.
void inhibition_close();
