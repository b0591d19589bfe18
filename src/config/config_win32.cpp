// The configuration dialog: fills its fields from the settings file, writes all
// eight back on OK, and shows the About box.
#include <windows.h>

#include <cstdio>

#include "config/config.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "startup/scrmode.h"

const char about_text[] =
    "Plix screensaver\r\n"
    "v0.8\r\n"
    "31/07/2000\r\n"
    "\r\n"
    "by the Plix team\r\n"
    "plix-team@example.org\r\n"
    "http://plix.example.org/\r\n"
    "\r\n"
    "This screensaver is free, but I would\r\n"
    "greatly appreciate any donations.";

static HWND as_hwnd(plat_window w) { return reinterpret_cast<HWND>(w); }

void write_int_ini(plat_window dialog, int id, const char *key) {
    // Empty, non-numeric and out-of-range text all read as 0; the flag that says
    // so is deliberately not consulted, and no range is imposed here: the saver
    // clamps what it must when it loads.
    UINT value = GetDlgItemInt(as_hwnd(dialog), id, nullptr, FALSE);
    snprintf(lpIniKeyName, sizeof lpIniKeyName, "%s", key);
    write_int_value(lpIniKeyName, int32_t(value));  // 2147483648.. wrap to negatives
}

void write_bool_ini(plat_window dialog, int id, const char *key) {
    // Only a plain check counts; an indeterminate box is stored as off.
    int32_t value = IsDlgButtonChecked(as_hwnd(dialog), id) == BST_CHECKED ? 1 : 0;
    snprintf(lpIniKeyName, sizeof lpIniKeyName, "%s", key);
    write_int_value(lpIniKeyName, value);
}

static void show_settings(HWND dialog) {
    for (const setting_key &k : setting_keys) {
        *k.value = read_int_ini(k.key);
        // Shown as read: no clamping, and a flag other than 0/1 goes to its box as is.
        if (k.is_flag)
            CheckDlgButton(dialog, k.control_id, UINT(*k.value));
        else
            SetDlgItemInt(dialog, k.control_id, UINT(*k.value), FALSE);
    }
}

static void store_settings(HWND dialog) {
    plat_window d = reinterpret_cast<plat_window>(dialog);
    for (const setting_key &k : setting_keys) {
        if (k.is_flag)
            write_bool_ini(d, k.control_id, k.key);
        else
            write_int_ini(d, k.control_id, k.key);
    }
}

// Returns 0 for every message, WM_INITDIALOG included, so the dialog manager
// leaves the initial keyboard focus alone.
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        show_settings(dialog);
    } else if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case ID_OK:
            store_settings(dialog);
            EndDialog(dialog, ID_OK);
            break;
        case ID_Cancel:
        case IDCANCEL:  // Escape and the caption's close box: the usual way out, as Cancel
            EndDialog(dialog, ID_Cancel);
            break;
        case ID_About:
            MessageBoxA(dialog, about_text, "About", MB_OK);
            break;
        default:
            break;
        }
    }
    return 0;
}

int config_run(plat_instance instance) {
    // DialogBoxParamA fails outright, showing nothing, when the owner is no
    // window (a mistyped handle, or one whose window has closed): open it unowned.
    HWND owner = as_hwnd(hWnd);
    if (owner && !IsWindow(owner)) owner = nullptr;
    return int(DialogBoxParamA(reinterpret_cast<HINSTANCE>(instance),
                               MAKEINTRESOURCEA(ID_ConfigDlg), owner, ConfigDialogProc, 0));
}
