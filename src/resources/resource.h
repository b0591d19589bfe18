// Resource identifiers, shared by the resource script and the code (plain C, no windows.h).
#pragma once

#define ID_ConfigDlg 100
#define ID_OK 101
#define ID_Cancel 102
#define ID_About 103
// 104..111: the settings' own controls.
#include "../settings/setting_ids.h"
