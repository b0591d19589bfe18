// The saver window and its message loop. (Not yet: the run ends after the set-up.)
#include "saver/saver.h"
#include "sim/dots.h"

int saver_run(plat_instance) {
    free_dots();
    return 0;
}
