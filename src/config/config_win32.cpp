// The configuration dialog: fills its fields from the settings file, writes them
// back on OK (or says why it cannot), and shows the About box.
#include <windows.h>

#include <commctrl.h>

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

static const char caption[] = "Plix settings";  // the boxes about the settings file

// Posted once the dialog is being shown, so that the box comes over it rather
// than before it (a message posted from WM_INITDIALOG arrives first).
constexpr UINT show_read_error = WM_APP;

// What the dialog knows beyond its fields.
struct config_state {
    bool filling;        // the fields are being set from the file, not by the user
    bool read_failed;    // the file exists but could not be read when the dialog opened
    bool read_told;      // the box saying so has been posted
    bool changed[8];     // the user edited this setting's field (table order)
    char message[1024];  // the text of the last error box
};
static config_state state;

static int row_of(int control_id) {
    for (int i = 0; i < 8; i++)
        if (setting_keys[i].control_id == control_id) return i;
    return -1;
}

void write_int_ini(plat_window dialog, int id, const char *) {
    // Empty, non-numeric and out-of-range text all read as 0; the flag that says
    // so is deliberately not consulted, and no range is imposed here: the saver
    // clamps what it must when it loads.
    UINT value = GetDlgItemInt(as_hwnd(dialog), id, nullptr, FALSE);
    int row = row_of(id);
    if (row >= 0) *setting_keys[row].value = int32_t(value);  // 2147483648.. wrap to negatives
}

void write_bool_ini(plat_window dialog, int id, const char *) {
    // Only a plain check counts; an indeterminate box is stored as off.
    int row = row_of(id);
    if (row >= 0)
        *setting_keys[row].value = IsDlgButtonChecked(as_hwnd(dialog), id) == BST_CHECKED ? 1 : 0;
}

static void show_settings(HWND dialog) {
    state.filling = true;  // SetDlgItemInt's EN_CHANGE is not the user's edit
    for (const setting_key &k : setting_keys) {
        *k.value = read_int_ini(k.key);
        // Shown as read: no clamping, and a flag other than 0/1 goes to its box as is.
        if (k.is_flag)
            CheckDlgButton(dialog, k.control_id, UINT(*k.value));
        else
            SetDlgItemInt(dialog, k.control_id, UINT(*k.value), FALSE);
    }
    state.filling = false;
}

// OK: all eight fields, or, when the file could not be read, only those the user
// changed, so no unread setting is replaced by a 0 the user never typed. On
// failure the box says why and the dialog stays open with the user's entries.
static bool store_settings(HWND dialog) {
    plat_window d = reinterpret_cast<plat_window>(dialog);
    bool which[8], any = false;
    for (int i = 0; i < 8; i++) {
        const setting_key &k = setting_keys[i];
        if (k.is_flag)
            write_bool_ini(d, k.control_id, k.key);
        else
            write_int_ini(d, k.control_id, k.key);
        which[i] = !state.read_failed || state.changed[i];
        any = any || which[i];
    }
    if (!any || save_settings(which, state.message, sizeof state.message)) return true;
    MessageBoxA(dialog, state.message, caption, MB_OK | MB_ICONERROR);
    return false;
}

// Returns 0 for every message, WM_INITDIALOG included, so the dialog manager
// leaves the initial keyboard focus alone.
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        state = config_state{};
        state.read_failed = !check_ini_readable(state.message, sizeof state.message);
        show_settings(dialog);
    } else if (message == WM_SHOWWINDOW && wParam && state.read_failed && !state.read_told) {
        state.read_told = true;
        PostMessageA(dialog, show_read_error, 0, 0);
    } else if (message == show_read_error) {
        MessageBoxA(dialog, state.message, caption, MB_OK | MB_ICONWARNING);
    } else if (message == WM_COMMAND) {
        int row = row_of(LOWORD(wParam));
        WORD code = HIWORD(wParam);
        if (row >= 0 && !state.filling && (code == EN_CHANGE || code == BN_CLICKED))
            state.changed[row] = true;
        switch (LOWORD(wParam)) {
        case ID_OK:
            if (store_settings(dialog)) EndDialog(dialog, ID_OK);
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
    // The manifest asks for Common Controls 6: the dialog's buttons, fields and
    // boxes are then comctl32's themed ones, whose classes must be registered
    // before the dialog is made (on Windows XP the dialog fails otherwise).
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // DialogBoxParamA fails outright, showing nothing, when the owner is no
    // window (a mistyped handle, or one whose window has closed): open it unowned.
    HWND owner = as_hwnd(hWnd);
    if (owner && !IsWindow(owner)) owner = nullptr;
    return int(DialogBoxParamA(reinterpret_cast<HINSTANCE>(instance),
                               MAKEINTRESOURCEA(ID_ConfigDlg), owner, ConfigDialogProc, 0));
}
