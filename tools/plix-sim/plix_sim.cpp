// plix-sim: the saver's animation without a window. The same settings reader,
// clamps and set-up as the saver, with a given seed and screen size, K frames
// presented onto a black screen in memory, then written as raw pixels or PNG.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framebuf/framebuf.h"
#include "image_files.h"
#include "platform/memory/memory_screen.h"
#include "platform/native/native.h"
#include "plix_defaults.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"
#include "common/arguments.h"

namespace {

const char usage[] =
    "usage: plix-sim [--settings FILE] --size WxH --seed N --frames K [--png OUT.png] "
    "[--raw OUT.raw] [--refit WxH[,WxH...]]\n"
    "                [--frames-ahead N] [--tile-counts OUT.txt]\n"
    "  --settings FILE  settings file in Plix.ini format, section [Plix] (missing: all 0);\n"
    "                   without it the shipped defaults, as plix takes them\n"
    "  --size WxH       screen size, each side 1..32767\n"
    "  --seed N         initial random state, a signed 32-bit decimal\n"
    "  --frames K       frames to render after the set-up, 0..2147483647\n"
    "  --raw OUT.raw    the screen after the last frame: W*H little-endian 32-bit\n"
    "                   pixels, top row first (bits 0-7 blue, 8-15 green, 16-23 red)\n"
    "  --png OUT.png    the same screen as an RGB PNG\n"
    "  --refit WxH,...  after the K frames the screen changes size, as a window or\n"
    "                   monitor can while the saver runs: the dots go on in a WxH\n"
    "                   field, shown on a new black screen, for K more frames;\n"
    "                   then the next size (at most 8)\n"
    "  --frames-ahead N before the K frames, N frames drawn unseen and the screen\n"
    "                   then shown whole, as the saver's PLIX_FRAMES_AHEAD does: the\n"
    "                   screen is that of --frames N+K without it\n"
    "  --tile-counts OUT.txt  per frame shown, \"FRAME TILES\": the presentation's\n"
    "                   16 x 16 tiles the frame touched (FRAME counts from 1)\n"
    "Prints \"frames=K pixels_per_frame=P\". Exit status: 0 done, 1 out of memory or\n"
    "an output file that could not be written, 2 bad arguments or a settings file\n"
    "that cannot be read (not a regular file, over 64 MiB, no permission).\n";

int bad_arguments(const char *what, const char *value) {
    if (value)
        fprintf(stderr, "plix-sim: %s: %s (try --help)\n", what, value);
    else
        fprintf(stderr, "plix-sim: %s (try --help)\n", what);
    return 2;
}

// The tiles the frame just drawn marked for its presentation.
int marked_tiles(const frame_buffer &fb) {
    const present_tiles &t = fb.tiles;
    int n = 0;
    for (int32_t k = 0; t.marked && k < t.tiles_x * t.tiles_y; k++) n += t.marks[k];
    return n;
}

int out_of_memory() {
    plat_message_box(nullptr, out_of_memory_text, out_of_memory_caption);
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    const char *settings = nullptr, *size = nullptr, *seed = nullptr, *frames = nullptr;
    const char *png = nullptr, *raw = nullptr, *refit = nullptr, *ahead = nullptr;
    const char *tile_counts = nullptr;
    struct {
        const char *name;
        const char **value;
    } options[] = {{"--settings", &settings},
                   {"--size", &size},
                   {"--seed", &seed},
                   {"--frames", &frames},
                   {"--png", &png},
                   {"--raw", &raw},
                   {"--refit", &refit},
                   {"--frames-ahead", &ahead},
                   {"--tile-counts", &tile_counts}};
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            fputs(usage, stdout);
            return 0;
        }
        bool known = false;
        for (auto &o : options) {
            if (strcmp(argv[i], o.name) != 0) continue;
            known = true;
            if (i + 1 >= argc) return bad_arguments("missing value after", o.name);
            if (*o.value) return bad_arguments("given twice", o.name);
            *o.value = argv[++i];
        }
        if (!known) return bad_arguments("unknown argument", argv[i]);
    }
    if (!size) return bad_arguments("missing --size", nullptr);
    if (!seed) return bad_arguments("missing --seed", nullptr);
    if (!frames) return bad_arguments("missing --frames", nullptr);

    int width, height, sizes = 1;
    int widths[9], heights[9];  // the first size, then those of --refit
    long long seed_value, frame_count, ahead_count = 0;
    if (!parse_size(size, &width, &height))
        return bad_arguments("--size must be WxH with each side 1..32767", size);
    for (const char *p = refit; p && *p; sizes++) {
        const char *end = strchr(p, ',');
        char one[32] = "";
        const size_t n = end ? size_t(end - p) : strlen(p);
        if (sizes == 9 || n >= sizeof one)
            return bad_arguments("--refit takes 1 to 8 sizes", refit);
        memcpy(one, p, n);
        if (!parse_size(one, &widths[sizes], &heights[sizes]))
            return bad_arguments("--refit must be WxH,... with each side 1..32767", refit);
        p = end ? end + 1 : p + n;
    }
    if (!parse_number(seed, INT32_MIN, INT32_MAX, &seed_value))
        return bad_arguments("--seed must be a signed 32-bit decimal", seed);
    if (!parse_number(frames, 0, INT32_MAX, &frame_count))
        return bad_arguments("--frames must be a decimal 0..2147483647", frames);
    if (ahead && !parse_number(ahead, 0, INT32_MAX, &ahead_count))
        return bad_arguments("--frames-ahead must be a decimal 0..2147483647", ahead);
    if (tile_counts && !*tile_counts)
        return bad_arguments("--tile-counts needs a file name", nullptr);
    if (settings && !*settings) return bad_arguments("--settings needs a file name", nullptr);
    if (png && !*png) return bad_arguments("--png needs a file name", nullptr);
    if (raw && !*raw) return bad_arguments("--raw needs a file name", nullptr);
    if (settings) {
        // The profile reader takes its path from the program's fixed path buffer.
        if (!settings_path_fits(settings))
            return bad_arguments("settings path longer than 255 bytes", settings);
        strcpy(lpIniFileNameAndPath, settings);
        // As plix: a file that is there but cannot be read is a mistake, not all zeros.
        char why[256], what[300];
        if (plat_file_check(settings, why, sizeof why) == plat_file_unreadable) {
            snprintf(what, sizeof what, "cannot read --settings file (%s)", why);
            return bad_arguments(what, settings);
        }
        if (setup_settings_and_arrays(int32_t(seed_value), nullptr) != 0) return 1;  // box shown
    } else {
        rand_seed = int32_t(seed_value);
        for (const setting_key &k : setting_keys) *k.value = shipped_default(k.key);
        if (setup_arrays(nullptr) != 0) return 1;
    }
    setup_screen_and_dots(width, height);
    FILE *counts = nullptr;
    if (tile_counts && !(counts = fopen(tile_counts, "w"))) {
        fprintf(stderr, "plix-sim: cannot write %s: %s\n", tile_counts, strerror(errno));
        free_dots();
        return 1;
    }
    long long shown = 0;  // frames presented, for --tile-counts
    frame_buffer fb = {};
    // As in the saver: a picture and a screen of the field's size, the first
    // paint showing the whole (black) picture, then the frames.
    for (int run = 0; run < sizes; run++) {
        if (run > 0) refit_field(widths[run], heights[run]);
        deinit_framebuf(&fb);
        new_picture(&fb, cx, cy, dirty_dot, chow, 0, 0);
        memory_screen_reset(cx, cy);
        if (!fb.pixels || !memory_screen_pixels()) {
            deinit_framebuf(&fb);
            free_dots();
            if (counts) fclose(counts);
            return out_of_memory();
        }
        if (run == 0) render_frames_ahead(&fb, ahead_count);
        present_whole(memory_screen(), &fb);
        for (long long f = 0; f < frame_count; f++) {
            if (!counts) {
                render(memory_screen(), &fb);
                continue;
            }
            render_dots(&fb);
            fprintf(counts, "%lld %d\n", ++shown, marked_tiles(fb));
            present_frame(memory_screen(), &fb);
        }
    }

    int status = 0;
    if (counts && fclose(counts) != 0) {
        fprintf(stderr, "plix-sim: cannot write %s: %s\n", tile_counts, strerror(errno));
        status = 1;
    }
    const uint32_t *screen = memory_screen_pixels();
    if (raw && write_raw(raw, screen, cx, cy) != 0) {
        fprintf(stderr, "plix-sim: cannot write %s: %s\n", raw, strerror(errno));
        status = 1;
    }
    if (png && write_png(png, screen, cx, cy) != 0) {
        fprintf(stderr, "plix-sim: cannot write %s: %s\n", png, strerror(errno));
        status = 1;
    }
    if (status == 0)
        printf("frames=%lld pixels_per_frame=%lld\n", frame_count,
               (long long)dirty_capacity(dot_count, dot_history));
    deinit_framebuf(&fb);
    free_dots();
    native_reset();
    return status;
}
