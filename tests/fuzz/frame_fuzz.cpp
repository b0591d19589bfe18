// Fuzz target: the saver's set-up and frame step under settings taken from the
// input (each of the eight values from the whole 32-bit range), any seed and a
// small screen. Every frame must record exactly dot_count * (dot_history + 2)
// pixels, all on the screen, with every colour component within 0..255.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/memory/memory_screen.h"
#include "platform/native/native.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"

namespace {

constexpr uint32_t kUntouched = 0xAB000000u;  // no pixel store of a legal colour makes this

void fail(const char *what, int frame) {
    fprintf(stderr, "invariant broken in frame %d: %s\n", frame, what);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    for (const setting_key &k : setting_keys) *k.value = in.ConsumeIntegral<int32_t>();
    const int32_t seed = in.ConsumeIntegral<int32_t>();
    const int w = in.ConsumeIntegralInRange(1, 24), h = in.ConsumeIntegralInRange(1, 24);
    const int frames = in.ConsumeIntegralInRange(1, 6);

    // A negative count must be refused by the allocation, which the set-up
    // reports as out of memory. Any other count is folded down to a few dots:
    // huge ones are refused the same way, and rendering them is only slow.
    clamp_dot_history();
    if (dot_count < 0) {
        if (alloc_dots() == 0) fail("negative dot count allocated", -1);
        free_dots();
        return 0;
    }
    dot_count %= 4;
    rand_seed = seed;
    if (alloc_dots() != 0) fail("a few dots could not be allocated", -1);
    setup_screen_and_dots(w, h);
    if (cx != w || cy != h) fail("screen size changed", -1);

    std::vector<uint32_t> fb(size_t(cx) * size_t(cy));  // exact size: ASan sees any overrun
    frame_buffer frame = {fb.data(), cx, cy, 0, 0, dirty_dot, 0, nullptr, {}};
    if (init_present_tiles(&frame, cx, cy) != 0) fail("no tile storage", -1);
    frame.tiles.list_room = INT32_MAX;  // every place listed, to be checked
    memory_screen_reset(cx, cy);
    for (int f = 0; f < frames; f++) {
        std::fill(fb.begin(), fb.end(), kUntouched);
        render(memory_screen(), &frame);
        if (frame.dirty_dot_index != dot_count * (dot_history + 2)) fail("pixel count", f);
        std::vector<bool> recorded(fb.size());
        for (int32_t k = 0; k < frame.dirty_dot_index; k++) {
            const dirty_pixels p = dirty_dot[k];
            if (p.x < 0 || p.x >= cx || p.y < 0 || p.y >= cy) fail("pixel off the screen", f);
            recorded[size_t(p.y) * size_t(cx) + size_t(p.x)] = true;
            // A component outside 0..255 would carry into the top byte, or make
            // the pixel brighter than every dot.
            const uint32_t v = fb[size_t(p.y) * size_t(cx) + size_t(p.x)];
            if (v >> 24) fail("colour outside 0..255", f);
            bool some_dot_as_bright = false;
            for (int32_t i = 0; i < dot_count; i++)
                some_dot_as_bright |= int(v & 0xFF) <= dot[i].r && int(v >> 8 & 0xFF) <= dot[i].g &&
                                      int(v >> 16 & 0xFF) <= dot[i].b;
            if (!some_dot_as_bright) fail("pixel brighter than every dot", f);
        }
        for (size_t at = 0; at < fb.size(); at++)
            if (!recorded[at] && fb[at] != kUntouched) fail("unrecorded write", f);
    }
    for (int32_t i = 0; i < dot_count; i++) {
        const plix &d = dot[i];
        if (d.r < 0 || d.r > 255 || d.g < 0 || d.g > 255 || d.b < 0 || d.b > 255)
            fail("dot colour outside 0..255", frames);
    }
    deinit_present_tiles(&frame);
    free_dots();
    return 0;
}
