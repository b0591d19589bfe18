// Frame-step throughput: render_dots over a grid of dot counts and trail
// lengths, beside a baseline that does only the physical minimum per pixel (one
// frame-buffer store and one dirty-list entry) on the same positions. The
// console output ends with the step/baseline time ratio per grid point. (The
// presentation is the platform's; plix-present-bench.exe measures it under Wine.)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;
frame_buffer g_fb;

// A 1024 x 768 field of `count` dots with `history` trail points, brought to a
// steady state first: animated for at least one trail length (and at least 200
// frames), so that every trail is spread out along the dot's path as in a saver
// that has run a while. Timing earlier would find most trail points still on
// the start pixel, in cache.
// Google Benchmark calls each function several times; a field already built for
// the same grid point is reused (its animation simply goes on).
bool make_field(int32_t count, int32_t history) {
    static int32_t built_count = -1, built_history = -1;
    if (count == built_count && history == built_history && dot && g_fb.pixels) return true;
    built_count = count;
    built_history = history;
    reset_settings();
    free_dots();
    dot_count = count;
    dot_history = history;
    inertia = 20;
    speed_limit = 3;
    bounce = 1;
    starting_pos = 1;
    rand_seed = 1;
    if (alloc_dots() != 0) return false;
    set_screen_size(kWidth, kHeight);
    set_dot_fade();
    init_dots();
    deinit_framebuf(&g_fb);
    init_framebuf(&g_fb, kWidth, kHeight);
    g_fb.dirty_dot = dirty_dot;
    if (!g_fb.pixels) return false;
    const int32_t frames = std::max<int32_t>(history + 2, 200);
    for (int32_t f = 0; f < frames; f++) render_dots(&g_fb);
    return true;
}

// The same pixels a frame records, each one store and one list entry and
// nothing else; width, list and count in locals, as in the tightest loop.
void baseline_frame(frame_buffer *frame) {
    uint32_t *const fb = frame->pixels;
    const int32_t width = frame->width, history_len = dot_history;
    dirty_pixels *const list = frame->dirty_dot;
    int32_t n = 0;
    auto put = [&](int32_t x, int32_t y) {
        fb[y * width + x] = 0x00030201u;
        list[n++] = {x, y};
    };
    for (int32_t i = 0; i < dot_count; i++) {
        const plix &d = dot[i];
        for (int32_t k = 0; k < history_len; k++) put(d.hist[k].x, d.hist[k].y);
        put(d.hist[0].x, d.hist[0].y);
        put(int32_t(d.x), int32_t(d.y));
    }
    frame->dirty_dot_index = n;
}

void set_pixel_rate(benchmark::State &state) {
    state.counters["pixels/s"] = benchmark::Counter(
        double(state.iterations()) * double(dirty_capacity(dot_count, dot_history)),
        benchmark::Counter::kIsRate);
}

void BM_baseline(benchmark::State &state) {
    if (!make_field(int32_t(state.range(0)), int32_t(state.range(1)))) {
        state.SkipWithError("out of memory");
        return;
    }
    for (auto _ : state) {
        baseline_frame(&g_fb);
        benchmark::ClobberMemory();
    }
    set_pixel_rate(state);
}

// The frame step: every dot moved and drawn, its pixels recorded.
void BM_step(benchmark::State &state) {
    if (!make_field(int32_t(state.range(0)), int32_t(state.range(1)))) {
        state.SkipWithError("out of memory");
        return;
    }
    for (auto _ : state) {
        render_dots(&g_fb);
        benchmark::ClobberMemory();
    }
    set_pixel_rate(state);
}

void grid(benchmark::internal::Benchmark *b) {
    for (int64_t count : {10, 100, 1000})
        for (int64_t history : {1, 16, 64, 256, 1024}) b->Args({count, history});
    b->ArgNames({"dots", "trail"});
}

BENCHMARK(BM_baseline)->Apply(grid);
BENCHMARK(BM_step)->Apply(grid);

// The console output plus, at the end, render time / baseline time per grid point.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &reports) override {
        for (const Run &r : reports) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
            std::string name = r.benchmark_name();
            size_t slash = name.find('/');
            int dots, trail;
            if (slash == std::string::npos ||
                sscanf(name.c_str() + slash, "/dots:%d/trail:%d", &dots, &trail) != 2)
                continue;
            times_[{dots, trail}][name.substr(0, slash)].push_back(r.GetAdjustedCPUTime());
        }
        ConsoleReporter::ReportRuns(reports);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        printf(
            "\nCPU time per frame in ns (fastest of the repetitions), and ratios to the "
            "baseline\n");
        printf("%6s %6s %12s %12s %8s\n", "dots", "trail", "step", "baseline", "step/b");
        for (auto &[point, t] : times_) {
            if (!t.count("BM_baseline") || !t.count("BM_step")) continue;
            double step = fastest(t["BM_step"]), base = fastest(t["BM_baseline"]);
            printf("%6d %6d %12.0f %12.0f %8.2f\n", point.first, point.second, step, base,
                   step / base);
        }
    }

private:
    // The fastest repetition: on a shared machine load only ever adds time.
    static double fastest(const std::vector<double> &v) {
        return *std::min_element(v.begin(), v.end());
    }
    std::map<std::pair<int, int>, std::map<std::string, std::vector<double>>> times_;
};

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    free_dots();
    deinit_framebuf(&g_fb);
    return 0;
}
