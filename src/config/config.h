// The configuration dialog.
#pragma once
#include "platform/platform.h"

// Shows the modal dialog owned by hWnd; returns when OK or Cancel ends it.
int config_run(plat_instance instance);
