// What a frame costs on the real platform (run it under Wine or Windows): the
// 1x1 BitBlt presentation per recorded pixel, whole frames of render, and the
// frame rate the saver's 10 ms timer then achieves. Prints Markdown tables.
// Usage: plix-present-bench.exe [seconds per timed run, default 1]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "framebuf/framebuf.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"

static HWND window;
static LARGE_INTEGER freq;
static bool paint_renders;      // whole frames through render, else presentation only
static double present_seconds;  // time inside present_frame / render, summed
static long paints;
static double timed_run_seconds = 1;
static LARGE_INTEGER run_start;

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
        double t0 = now();
        if (paint_renders)
            render(reinterpret_cast<plat_dc>(dc), framebuf);
        else
            present_frame(reinterpret_cast<plat_dc>(dc));
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
    dirty_dot_index = n;
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
    return true;
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
    init_framebuf();
    if (!framebuf) {
        fprintf(stderr, "cannot create the frame buffer\n");
        return 1;
    }
    for (int k = 0; k < cx * cy; k++) framebuf[k] = uint32_t(k * 2654435761u) & 0xFFFFFF;

    printf("Screen %d x %d.\n\n", cx, cy);
    printf("### Presentation: 1x1 BitBlt per recorded pixel\n\n");
    printf("| pixels per frame | ns per pixel | presentation per frame | whole paint |\n");
    printf("|---:|---:|---:|---:|\n");
    paint_renders = false;
    const int sizes[] = {1000, 10000, 100000, 400000};
    // The lowest per-pixel cost seen, for the estimates below: load on the
    // machine only ever adds to it.
    double ns_per_pixel = 1e30;
    for (int n : sizes) {
        if (!fill_dirty_list(n)) {
            fprintf(stderr, "out of memory for %d pixels\n", n);
            return 1;
        }
        double per_frame;
        double paint = back_to_back(n >= 100000 ? 4 : 40, &per_frame);
        if (per_frame / n * 1e9 < ns_per_pixel) ns_per_pixel = per_frame / n * 1e9;
        printf("| %d | %.0f | %.2f ms | %.2f ms |\n", n, per_frame / n * 1e9, per_frame * 1e3,
               paint * 1e3);
    }
    free(dirty_dot);
    dirty_dot = nullptr;

    printf("\n### Whole frames (render: step, draw, present) and the 10 ms timer\n\n");
    printf(
        "| dot_count | dot_history | pixels per frame | render | of it presentation (est.) "
        "| whole paint | fps under the 10 ms timer |\n");
    printf("|---:|---:|---:|---:|---:|---:|---:|\n");
    struct {
        int count, history_len;
    } const settings[] = {{0, 1},    {50, 30},   {50, 40},   {100, 64},
                          {200, 40}, {300, 100}, {500, 200}, {1000, 256}};
    paint_renders = true;
    for (const auto &s : settings) {
        if (!set_up_dots(s.count, s.history_len)) {
            fprintf(stderr, "out of memory for %d x %d\n", s.count, s.history_len);
            return 1;
        }
        long pixels = long(s.count) * (s.history_len + 2);
        double in_render;
        double paint = back_to_back(pixels > 100000 ? 4 : 20, &in_render);
        double fps = timer_driven();
        printf("| %d | %d | %ld | %.2f ms | %.2f ms | %.2f ms | %.0f |\n", s.count, s.history_len,
               pixels, in_render * 1e3, pixels * ns_per_pixel * 1e-6, paint * 1e3, fps);
        fflush(stdout);
    }
    free_dots();
    deinit_framebuf();
    return 0;
}
