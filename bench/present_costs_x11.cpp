// What the three ways of presenting cost on an X server, the program's processor
// time and the server's together (the server does the copying): the figures of
// the X11 plat_present_costs (framebuf_x11.cpp); then whole frames at steady
// state by each way, against the way the table takes. Draws on the root window.
// Usage: plix-present-bench-x11 SERVER_PID   (bench/x11_present_costs.sh runs it)
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>
#include <vector>

#include "framebuf/framebuf.h"
#include "platform/x11/x11_platform.h"
#include "steady_fields.h"

namespace {

int server_pid;
Display *display;
plat_dc target;
frame_buffer frame;

// Processor seconds of this program and of the server so far.
double cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", server_pid);
    FILE *f = fopen(path, "r");
    unsigned long user = 0, sys = 0;
    char line[1024];
    if (f && fgets(line, sizeof line, f)) {
        // Fields 14 and 15 (user and system ticks), counted after the name's ")".
        const char *p = strrchr(line, ')');
        for (int field = 2; p && field < 14; field++) p = strchr(p + 1, ' ');
        if (p) {
            char *end = nullptr;
            user = strtoul(p + 1, &end, 10);
            sys = strtoul(end, nullptr, 10);
        }
    }
    if (f) fclose(f);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9 + double(user + sys) / double(sysconf(_SC_CLK_TCK));
}

// Nanoseconds of processor time per call of `copy`, over at least 2 s of calls
// (the server's clock ticks are 10 ms), each 100 calls synchronised.
template <typename F>
double per_call(F copy) {
    XSync(display, False);
    const double t0 = cpu_seconds();
    long calls = 0;
    while (cpu_seconds() - t0 < 2) {
        for (int k = 0; k < 100; k++) copy();
        calls += 100;
        XSync(display, False);
    }
    return (cpu_seconds() - t0) / double(calls) * 1e9;
}

// The worst of three: a busy machine only ever adds time, but it adds it to
// every way alike, and the worst run is the one the saver must live with.
template <typename F>
double worst_of_three(F copy) {
    double worst = 0;
    for (int run = 0; run < 3; run++) {
        const double t = per_call(copy);
        worst = t > worst ? t : worst;
    }
    return worst;
}

// Steady state, each way against the table's: for each steady field, whole
// frames (step, plan, copy) by the table, as the rectangle and as the tiles,
// worst of three each. The step is the same work in all three: the differences
// are the copies'.
void steady_state(int w, int h) {
    printf("\n### At steady state: whole frames each way\n\n");
    printf("| setting | frames ahead | by the table | as the rectangle | as the tiles |\n"
           "|---|---:|---|---:|---:|\n");
    steady_field fields[3];
    steady_fields(w, h, fields);
    const present_costs bounds_only = only_way(by_bounds), tiles_only = only_way(by_tiles);
    for (const steady_field &s : fields) {
        if (!set_up_steady_field(s, w, h, &frame)) {
            fprintf(stderr, "out of memory for %s\n", s.name);
            return;
        }
        int taken[3] = {0, 0, 0};
        auto by = [&](const present_costs &c, bool count) {
            return [&c, count, &taken] {
                render_dots(&frame);
                const present_plan plan = plan_presentation(&frame, c);
                present_frame_as(target, &frame, plan);
                if (count) taken[plan.way]++;
            };
        };
        const present_costs table = plat_present_costs();
        const double by_table = worst_of_three(by(table, true));
        const double as_bounds = worst_of_three(by(bounds_only, false));
        const double as_tiles = worst_of_three(by(tiles_only, false));
        char text[64];
        printf("| %s | %ld | %s: %.0f us | %.0f us | %.0f us |\n", s.name, s.ahead,
               ways_taken(taken, text, sizeof text), by_table / 1e3,
               as_bounds / 1e3, as_tiles / 1e3);
        fflush(stdout);
    }
    free_dots();
}

}  // namespace

int main(int argc, char **argv) {
    server_pid = argc > 1 ? int(strtol(argv[1], nullptr, 10)) : 0;
    if (server_pid <= 0) {
        fprintf(stderr, "usage: plix-present-bench-x11 SERVER_PID\n");
        return 2;
    }
    display = XOpenDisplay(nullptr);
    if (!display) {
        fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    x11_open(display);
    const int screen = DefaultScreen(display);
    const int w = DisplayWidth(display, screen), h = DisplayHeight(display, screen);
    target = x11_bind(DefaultRootWindow(display), DefaultVisual(display, screen),
                      DefaultDepth(display, screen));
    if (init_framebuf(&frame, w, h) != 0) {
        fprintf(stderr, "cannot create the frame buffer\n");
        return 1;
    }
    printf("Screen %d x %d, %s.\n\n", w, h, x11_framebuf_shared(&frame) ? "MIT-SHM" : "XPutImage");
    printf("| copy | processor time, program and server |\n|---|---:|\n");
    const double pixel = worst_of_three([] { plat_copy_pixel(target, &frame, 7, 7); });
    printf("| one pixel | %.0f ns |\n", pixel);
    const int side[] = {1, 256, 512};
    double rect[3];
    for (int k = 0; k < 3; k++) {
        const int s = side[k];
        rect[k] = worst_of_three([s] { plat_copy_rect(target, &frame, 0, 0, s, s); });
        printf("| one %d x %d rectangle | %.0f ns |\n", s, s, rect[k]);
    }
    // Squares of 16 on a grid over the whole screen, apart from one another.
    const int counts[] = {1, 64, 256}, across[] = {1, 8, 16};  // within rect_capacity
    double region[3];
    std::vector<pixel_rect> rects;
    for (int k = 0; k < 3; k++) {
        rects.clear();
        for (int j = 0; j < counts[k] / across[k]; j++)
            for (int i = 0; i < across[k]; i++) {
                const int x = across[k] > 1 ? i * (w - 16) / (across[k] - 1) : 0;
                const int y = across[k] > 1 ? j * (h - 16) / (counts[k] / across[k] - 1) : 0;
                rects.push_back({x, y, x + 16, y + 16});
            }
        const pixel_rect bounds = {0, 0, rects.back().right, rects.back().bottom};
        region[k] = worst_of_three([&] {
            plat_copy_rects(target, &frame, rects.data(), int32_t(rects.size()), bounds);
        });
        printf("| %d squares of 16 x 16 clipped | %.0f ns |\n", counts[k], region[k]);
    }
    const pixel_rect big = {0, 0, 512, 512};
    const double region_big = worst_of_three([&] { plat_copy_rects(target, &frame, &big, 1, big); });
    printf("| one 512 x 512 rectangle clipped | %.0f ns |\n", region_big);

    present_costs c = {};
    c.pixel = pixel;
    c.rect_fixed = rect[0];
    c.rect_pixel = (rect[2] - rect[1]) / (512.0 * 512 - 256.0 * 256);
    c.rects_pixel = (region_big - region[0]) / (512.0 * 512 - 256);
    double g[3];
    for (int k = 0; k < 3; k++) g[k] = region[k] - counts[k] * 256.0 * c.rects_pixel;
    const double d64 = g[1] - g[0], d256 = g[2] - g[0];
    c.rects_pair = (d256 - d64 * 255.0 / 63.0) / (65535.0 - 4095.0 * 255.0 / 63.0);
    c.rects_pair = c.rects_pair > 0 ? c.rects_pair : 0;  // noise, where the cost is linear
    c.rects_each = (d64 - 4095.0 * c.rects_pair) / 63.0;
    c.rects_fixed = g[0] - c.rects_each - c.rects_pair;
    printf("\nCosts (ns), as plat_present_costs takes them: {%.0f, %.0f, %.3f, %.0f, %.0f, %.2f, %.3f}\n",
           c.pixel, c.rect_fixed, c.rect_pixel, c.rects_fixed, c.rects_each, c.rects_pair,
           c.rects_pixel);
    steady_state(w, h);
    deinit_framebuf(&frame);
    x11_unbind();
    XCloseDisplay(display);
    return 0;
}
