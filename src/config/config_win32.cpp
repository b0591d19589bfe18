// The configuration dialog. (Not yet: the run ends at once.)
#include "config/config.h"

int config_run(plat_instance) { return 0; }
