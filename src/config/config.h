// The configuration dialog: shows the stored settings, writes them back on OK.
#pragma once
#include "platform/platform.h"

// Shows the modal dialog owned by hWnd (or by nothing when hWnd names no
// window); returns when OK, Cancel, Escape or the close box ends it.
int config_run(plat_instance instance);

// Take one field of the dialog into the setting `key` (the field's own), for OK
// to save: a number field read as unsigned and kept signed (so 4294967295 is
// stored as -1), and a check box as 1 when it is checked and 0 otherwise.
void write_int_ini(plat_window dialog, int id, const char *key);
void write_bool_ini(plat_window dialog, int id, const char *key);

// The About box's text, lines joined by "\r\n".
extern const char about_text[];
