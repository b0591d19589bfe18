// Fuzz target: what the program learns at start-up from outside: the command line
// (arbitrary bytes, as GetCommandLineA could hand them over, one NUL-terminated
// string) and, from the same bytes, its own module path for the settings path.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "startup/scrmode.h"

namespace {

plat_window window(intptr_t v) { return reinterpret_cast<plat_window>(v); }

// The handle rule stated through the C library: strtol in base 10 (it saturates
// at the range of long), then saturated again to 32 bits.
int32_t handle_by_strtol(const char *s) {
    long v = strtol(s, nullptr, 10);
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int32_t(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string line(reinterpret_cast<const char *>(data), size);  // c_str() adds the NUL
    const char *s = line.c_str();

    if (parse_handle(s) != handle_by_strtol(s)) abort();

    // Values no 32-bit handle can take, so they cannot be confused with one.
    const plat_window foreground = window(intptr_t(1) << 40), untouched = window(intptr_t(1) << 41);
    plat_window first = untouched, second = untouched;
    ScrMode mode = parse_scr_mode(s, foreground, &first);
    if (mode < smNone || mode > smSaver) abort();
    // Only the modes that name a window write the handle, and only a bare /c
    // takes the foreground window.
    bool names_window = mode == smConfig || mode == smPreview || mode == smPassword;
    if (!names_window && first != untouched) abort();
    if (names_window && first == untouched) abort();
    if (first == foreground && mode != smConfig) abort();
    // Whatever a handle is, it came from a 32-bit number.
    if (names_window && first != foreground) {
        intptr_t v = reinterpret_cast<intptr_t>(first);
        if (v < INT32_MIN || v > INT32_MAX) abort();
    }
    // The parse has no state: a second call agrees (WinMain makes two).
    if (parse_scr_mode(s, foreground, &second) != mode || second != first) abort();

    // The settings path from the same bytes as a module path, into a buffer of
    // exactly the program's size (ASan sees any overrun): the directory up to the
    // last backslash plus "Plix.ini", or nothing when that cannot fit.
    const bool truncated = size % 7 == 0;
    std::vector<char> out(sizeof lpIniFileNameAndPath);
    bool named = ini_path_from_module(s, truncated, '\\', out.data(), unsigned(out.size()));
    if (!memchr(out.data(), '\0', out.size())) abort();
    const std::string path = out.data();
    const char *last = strrchr(s, '\\');
    const std::string dir = last ? std::string(s, size_t(last - s) + 1) : std::string();
    const bool fits = dir.size() + strlen(lpIniFileName) < sizeof lpIniFileNameAndPath;
    if (named != (!truncated && fits)) abort();
    if (named ? path != dir + "Plix.ini" : !path.empty()) abort();
    return 0;
}
