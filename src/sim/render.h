// The frame step: moves, fades and draws every dot, then presents the frame.
#pragma once
#include <cstdint>

#include "platform/platform.h"

// One frame: steps and draws every dot into `fb` through put_pixel, then copies
// the recorded pixels to `target`.
void render(plat_dc target, uint32_t *fb);
