// What a frame costs on the real platform (run it under Wine or Windows): the
// three ways of presenting (1x1 BitBlt per recorded pixel, one rectangle, one
// copy clipped to a region of rectangles), whole frames of render by the chosen
// way or pixel by pixel, and the frame rate the saver's 10 ms timer then
// achieves; and the calls the saver makes around a frame. Prints Markdown tables
// and the costs they give, which are Win32's plat_present_costs
// (platform/win32_costs.h).
// Usage: plix-present-bench.exe [seconds per timed run, default 1]
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "framebuf/framebuf.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"
#include "steady_fields.h"

static HWND window;
static LARGE_INTEGER freq;
static frame_buffer frame;
static int32_t list_room;  // the picture's own, as the saver's frames have it
// What a paint does: render a frame (by the chosen way, or always pixel by
// pixel as before), or present the current list (by pixels), a rectangle, or
// rectangles in one clipped copy.
enum paint_job { render_planned, render_by_pixels, present_pixels, present_rect, present_rects, render_steady };
static paint_job job;
static pixel_rect rect;               // for present_rect, and the bounds of present_rects
static std::vector<pixel_rect> rects;  // for present_rects
static present_plan last_plan;          // of render_planned
static double present_seconds;  // time inside present_frame / render, summed
static long paints;
static double timed_run_seconds = 1;
static LARGE_INTEGER run_start;
// render_steady: frame by frame in turn, planned by the table alone, as the
// rectangle, as the tiles, and as the saver plans (the table as the clock has
// corrected it); the time of each frame's plan and copy, and the ways taken.
enum steady_turn { by_table, as_bounds, as_tiles, as_saver };
static std::vector<double> steady_ns[4];
static int steady_ways[4][3];
static long steady_frames;

static double now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(freq.QuadPart);
}

static LRESULT CALLBACK bench_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        plat_dc target = reinterpret_cast<plat_dc>(dc);
        double t0 = now();
        switch (job) {
        case render_planned:  // what render does, keeping the way it took
            frame.tiles.list_room = list_room;
            render_dots(&frame);
            last_plan = plan_presentation(&frame, plat_present_costs());
            present_frame_as(target, &frame, last_plan);
            break;
        case render_by_pixels:
            frame.tiles.list_room = INT32_MAX;  // every place, to go one by one
            render_dots(&frame);
            present_frame_as(target, &frame, {by_pixels, {}, 0, 0});
            break;
        case present_pixels:
            present_frame_as(target, &frame, {by_pixels, {}, 0, 0});
            break;
        case present_rect:
            present_frame_as(target, &frame, {by_bounds, rect, 0, 0});
            break;
        case present_rects:
            plat_copy_rects(target, &frame, rects.data(), int32_t(rects.size()), rect);
            break;
        case render_steady: {
            render_dots(&frame);
            const steady_turn turn = steady_turn(steady_frames++ % 4);
            const present_costs bounds_only = only_way(by_bounds), tiles_only = only_way(by_tiles);
            const double start = now();
            if (turn == as_saver) {
                const int32_t timed = frame.tiles.meter.frames;
                present_frame(target, &frame);
                if (frame.tiles.meter.frames != timed) steady_ways[turn][frame.tiles.meter.last_way]++;
            } else {
                const present_costs &c =
                    turn == by_table ? plat_present_costs() : turn == as_bounds ? bounds_only : tiles_only;
                last_plan = plan_presentation(&frame, c);
                present_frame_as(target, &frame, last_plan);
                steady_ways[turn][last_plan.way]++;
            }
            steady_ns[turn].push_back((now() - start) * 1e9);
            break;
        }
        }
        present_seconds += now() - t0;
        paints++;
        EndPaint(w, &ps);
        return 0;
    }
    case WM_TIMER: {
        // The saver's frame clock, exactly: invalidate without erase, paint now.
        InvalidateRgn(w, nullptr, FALSE);
        UpdateWindow(w);
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        if (double(t.QuadPart - run_start.QuadPart) / double(freq.QuadPart) >= timed_run_seconds) {
            KillTimer(w, 1);
            PostQuitMessage(0);
        }
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

static void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// Back-to-back paints, as fast as they go. The best of five runs is kept, since
// a busy machine only ever adds time: `inside` gets the time per paint spent in
// present_frame or render, the result is the wall time per paint (with EndPaint,
// where Wine hands the window's surface to the X server).
static double back_to_back(int frames, double *inside) {
    double best = 1e30, best_inside = 1e30;
    for (int run = 0; run < 5; run++) {
        present_seconds = 0;
        paints = 0;
        double t0 = now();
        for (int i = 0; i < frames; i++) {
            InvalidateRgn(window, nullptr, FALSE);
            UpdateWindow(window);
        }
        pump();
        double wall = (now() - t0) / frames;
        if (wall < best) best = wall;
        if (paints && present_seconds / double(paints) < best_inside)
            best_inside = present_seconds / double(paints);
    }
    if (inside) *inside = best_inside;
    return best;
}

// Paints driven by a 10 ms timer for timed_run_seconds; returns frames per second
// (the best of three runs).
static double timer_driven() {
    double best = 0;
    for (int run = 0; run < 3; run++) {
        paints = 0;
        present_seconds = 0;
        QueryPerformanceCounter(&run_start);
        double t0 = now();
        SetTimer(window, 1, 10, nullptr);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        double fps = double(paints) / (now() - t0);
        if (fps > best) best = fps;
    }
    return best;
}

// A dirty list of `n` pixels spread over the screen, as a frame would record them.
static bool fill_dirty_list(int n) {
    free(dirty_dot);
    dirty_dot = static_cast<dirty_pixels *>(malloc(sizeof(dirty_pixels) * size_t(n)));
    if (!dirty_dot) return false;
    for (int k = 0; k < n; k++) dirty_dot[k] = {rnd() % cx, rnd() % cy};
    frame.dirty_dot = dirty_dot;
    frame.dirty_dot_index = n;
    return true;
}

static bool set_up_dots(int count, int history_len) {
    free_dots();
    dot_count = count;
    dot_history = history_len;
    inertia = 100;
    speed_limit = 3;
    brownian = 0;
    bounce = 1;
    starting_pos = 1;
    clamp_dot_history();
    if (alloc_dots() != 0) return false;
    rand_seed = 1;
    setup_screen_and_dots(cx, cy);
    frame.dirty_dot = dirty_dot;
    frame.dirty_dot_index = 0;
    // Brought to a steady state, the trails spread along the dots' paths.
    for (int f = 0; f < history_len + 2; f++) render_dots(&frame);
    return true;
}

// Each steady field at the screen's size, each way on 400 of its frames in turn.
static void steady_state() {
    printf("\n### At steady state: each way on the same run's frames in turn\n\n");
    printf("Median plan and copy a frame, Wine's flush of the window's surface (the same box "
           "every way) not included.\n\n");
    printf("| setting | frames ahead | rectangles | by the table | as the rectangle | as the tiles "
           "| as the saver (measured) |\n|---|---:|---:|---|---:|---:|---|\n");
    steady_field fields[3];
    steady_fields(cx, cy, fields);
    for (const steady_field &s : fields) {
        frame.tiles.list_room = list_room;
        if (!set_up_steady_field(s, cx, cy, &frame)) {
            fprintf(stderr, "out of memory for %s\n", s.name);
            return;
        }
        for (auto &v : steady_ns) v.clear();
        for (auto &w : steady_ways) w[0] = w[1] = w[2] = 0;
        steady_frames = 0;
        job = render_steady;
        // The rectangles the tiles merge into, from a frame of the tiles' turn.
        double rect_sum = 0;
        long rect_frames = 0;
        for (int i = 0; i < 400; i++) {
            InvalidateRgn(window, nullptr, FALSE);
            UpdateWindow(window);
            if ((steady_frames - 1) % 4 == as_tiles) {
                rect_sum += last_plan.rect_count;
                rect_frames++;
            }
        }
        pump();
        double median[4];
        for (int t = 0; t < 4; t++) {
            std::vector<double> &v = steady_ns[t];
            std::sort(v.begin(), v.end());
            median[t] = v.empty() ? 0 : v[v.size() / 2];
        }
        char text[64];
        printf("| %s | %ld | %.0f |", s.name, s.ahead, rect_frames ? rect_sum / double(rect_frames) : 0.0);
        printf(" %s: %.0f us |", ways_taken(steady_ways[by_table], text, sizeof text), median[by_table] / 1e3);
        printf(" %.0f us | %.0f us |", median[as_bounds] / 1e3, median[as_tiles] / 1e3);
        printf(" %s: %.0f us |\n", ways_taken(steady_ways[as_saver], text, sizeof text), median[as_saver] / 1e3);
        fflush(stdout);
    }
}

// "Wine 8.0 (32-bit program)" where Wine runs it, else "Windows".
static void print_platform() {
    typedef const char *(__cdecl * version_fn)();
    auto version = reinterpret_cast<version_fn>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    printf("Run under %s %s, %d-bit program.\n", version ? "Wine" : "Windows",
           version ? version() : "", int(sizeof(void *) * 8));
}

int main(int argc, char **argv) {
    if (argc > 1 && atof(argv[1]) > 0) timed_run_seconds = atof(argv[1]);
    QueryPerformanceFrequency(&freq);
    set_screen_size(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    rand_seed = 1;

    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = bench_proc;
    wc.hInstance = inst;
    wc.lpszClassName = "PlixPresentBench";
    RegisterClassA(&wc);
    // Like the saver's window: topmost, borderless, the whole screen.
    window = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Plix present bench",
                             WS_POPUP | WS_VISIBLE, 0, 0, cx, cy, nullptr, nullptr, inst, nullptr);
    if (!window) {
        fprintf(stderr, "cannot create the window\n");
        return 1;
    }
    pump();
    if (init_framebuf(&frame, cx, cy) != 0) {
        fprintf(stderr, "cannot create the frame buffer\n");
        return 1;
    }
    list_room = frame.tiles.list_room;
    for (int k = 0; k < cx * cy; k++) frame.pixels[k] = uint32_t(k * 2654435761u) & 0xFFFFFF;

    print_platform();
    printf("Screen %d x %d.\n\n", cx, cy);
    printf("### One 1x1 BitBlt per recorded pixel\n\n");
    printf("| pixels per frame | ns per pixel | presentation per frame | whole paint |\n");
    printf("|---:|---:|---:|---:|\n");
    job = present_pixels;
    present_costs costs = {};
    for (int n : {1000, 10000, 100000}) {
        if (!fill_dirty_list(n)) {
            fprintf(stderr, "out of memory for %d pixels\n", n);
            return 1;
        }
        double per_frame;
        double paint = back_to_back(n >= 100000 ? 4 : 40, &per_frame);
        printf("| %d | %.0f | %.3f ms | %.3f ms |\n", n, per_frame / n * 1e9, per_frame * 1e3,
               paint * 1e3);
        if (n == 10000) costs.pixel = per_frame / n * 1e9;
    }

    printf("\n### One BitBlt of a rectangle\n\n");
    printf("| rectangle | pixels | per copy | ns per pixel of the area |\n");
    printf("|---:|---:|---:|---:|\n");
    job = present_rect;
    struct {
        int w, h;
    } const sizes[] = {{1, 1}, {16, 16}, {64, 64}, {256, 256}, {512, 384}, {cx, cy}};
    double rect_ns[6];
    for (int k = 0; k < 6; k++) {
        const auto &r = sizes[k];
        rect = {0, 0, r.w, r.h};
        double per_copy;
        back_to_back(40, &per_copy);
        rect_ns[k] = per_copy * 1e9;
        printf("| %d x %d | %d | %.1f us | %.2f |\n", r.w, r.h, r.w * r.h, per_copy * 1e6,
               per_copy * 1e9 / (r.w * r.h));
    }
    // The fixed cost is the 1 x 1 copy's; the cost a pixel, the slope from 256 x 256
    // to the whole screen: the bounds of a frame spread over the screen are large.
    costs.rect_fixed = rect_ns[0];
    costs.rect_pixel = (rect_ns[5] - rect_ns[3]) / (double(cx) * cy - 256.0 * 256);
    free(dirty_dot);
    dirty_dot = nullptr;

    printf("\n### One BitBlt clipped to a region of rectangles\n\n");
    printf("| rectangles | each | spread over | per copy | per rectangle |\n");
    printf("|---:|---:|---:|---:|---:|\n");
    job = present_rects;
    struct {
        int count, side, across;  // count squares, `across` to a row, over the whole screen
    } const regions[] = {{1, 16, 1},   {16, 16, 4}, {64, 16, 8}, {256, 16, 16},
                         {1024, 16, 32}, {1, 256, 1}, {1, 512, 1}};  // within rect_capacity
    double region_ns[7];
    for (int k = 0; k < 7; k++) {
        const int across = regions[k].across, down = regions[k].count / across;
        const int side = regions[k].side;
        rects.clear();
        for (int j = 0; j < down; j++)
            for (int i = 0; i < across; i++) {
                const int x = i * (cx - side) / (across > 1 ? across - 1 : 1);
                const int y = j * (cy - side) / (down > 1 ? down - 1 : 1);
                rects.push_back({x, y, x + side, y + side});
            }
        rect = {rects.front().left, rects.front().top, rects.back().right, rects.back().bottom};
        double per_copy;
        back_to_back(40, &per_copy);
        region_ns[k] = per_copy * 1e9;
        printf("| %d | %d x %d | %d x %d | %.1f us | %.0f ns |\n", regions[k].count, side, side,
               rect.right - rect.left, rect.bottom - rect.top, per_copy * 1e6,
               per_copy * 1e9 / regions[k].count);
    }
    // Pixels from the lone squares; then, their area taken off, the fixed cost and
    // those per rectangle and per pair through 1, 64 and 1024 squares (a pair term
    // shows only among many). The rows of 16 and 256 check the fit.
    costs.rects_pixel = (region_ns[6] - region_ns[5]) / (512.0 * 512 - 256.0 * 256);
    double g[5];
    for (int k = 0; k < 5; k++) g[k] = region_ns[k] - regions[k].count * 256.0 * costs.rects_pixel;
    const double d64 = g[2] - g[0], d1024 = g[4] - g[0];
    costs.rects_pair = (d1024 - d64 * 1023.0 / 63.0) / (1048575.0 - 4095.0 * 1023.0 / 63.0);
    if (costs.rects_pair < 0) costs.rects_pair = 0;  // within the noise: none
    costs.rects_each = (d64 - 4095.0 * costs.rects_pair) / 63.0;
    costs.rects_fixed = g[0] - costs.rects_each - costs.rects_pair;
    for (int n : {16, 256})
        printf("\nThe fitted costs give %.1f us for %d squares.\n",
               (costs.rects_fixed + n * (costs.rects_each + n * costs.rects_pair) +
                n * 256 * costs.rects_pixel) / 1e3, n);
    printf("\nCosts (ns), as plat_present_costs takes them: {%.0f, %.0f, %.3f, %.0f, %.0f, %.2f, "
           "%.3f}\n",
           costs.pixel, costs.rect_fixed, costs.rect_pixel, costs.rects_fixed, costs.rects_each,
           costs.rects_pair, costs.rects_pixel);

    printf("\n### Whole frames: every pixel copied (before) against the chosen way (now)\n\n");
    printf(
        "| dot_count | dot_history | pixels per frame | before: paint | before: fps "
        "| now: render | now: paint | now: fps | now: way |\n");
    printf("|---:|---:|---:|---:|---:|---:|---:|---:|---|\n");
    struct {
        int count, history_len;
    } const settings[] = {{10, 16},   {50, 30},    {100, 64},   {200, 40},
                          {300, 100}, {1000, 256}, {1000, 1024}};
    for (const auto &s : settings) {
        if (!set_up_dots(s.count, s.history_len)) {
            fprintf(stderr, "out of memory for %d x %d\n", s.count, s.history_len);
            return 1;
        }
        long pixels = long(s.count) * (s.history_len + 2);
        int frames = pixels > 100000 ? 4 : 20;
        job = render_by_pixels;
        double paint_before = back_to_back(frames, nullptr);
        double fps_before = timer_driven();
        job = render_planned;
        double in_render;
        double paint_now = back_to_back(frames, &in_render);
        double fps_now = timer_driven();
        const char *const ways[] = {"pixels", "bounds", "tiles"};
        printf("| %d | %d | %ld | %.2f ms | %.1f | %.2f ms | %.2f ms | %.1f | %s |\n", s.count,
               s.history_len, pixels, paint_before * 1e3, fps_before, in_render * 1e3,
               paint_now * 1e3, fps_now, ways[last_plan.way]);
        fflush(stdout);
    }
    steady_state();
    free_dots();
    deinit_framebuf(&frame);

    // What the saver asks the system around its frames. Under Wine each is a
    // round trip to its server; the processor time is the whole process's.
    printf("\n### Calls the saver makes around a frame\n\n");
    printf("| call | wall time | processor time |\n|---|---:|---:|\n");
    auto cpu_seconds = [] {
        FILETIME created, ended, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
        auto s = [](FILETIME f) { return double((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7; };
        return s(kernel) + s(user);
    };
    auto time_call = [&](const char *name, auto call) {
        const int n = 5000;
        const double t0 = now(), c0 = cpu_seconds();
        for (int i = 0; i < n; i++) call();
        printf("| %s | %.1f us | %.1f us |\n", name, (now() - t0) / n * 1e6, (cpu_seconds() - c0) / n * 1e6);
    };
    MSG m;
    POINT p;
    time_call("GetSystemMetrics(SM_CXVIRTUALSCREEN)", [] { GetSystemMetrics(SM_CXVIRTUALSCREEN); });
    time_call("PeekMessageA(WM_KEYDOWN, PM_NOREMOVE)",
              [&] { PeekMessageA(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE); });
    time_call("GetCursorPos", [&] { GetCursorPos(&p); });
    time_call("GetTickCount", [] { GetTickCount(); });
    return 0;
}
