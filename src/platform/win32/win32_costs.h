// What the three ways of copying cost on Win32, measured with plix-present-bench.exe
// under 32-bit Wine (BENCHMARKS.md, "The three ways of copying"). The saver
// takes them as the unit its timed copies correct (plat_present_clock). The
// native platform takes them as they are, so that the tests and plix-sim choose
// as the saver's table does.
#pragma once
#include "platform/platform.h"

constexpr present_costs win32_present_costs = {1070, 2290, 0.30, 2950, 175, 0.04, 0.47};
