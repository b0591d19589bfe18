// Frame-step throughput: render_dots over a grid of dot counts and trail
// lengths, beside a baseline that does only the physical minimum per pixel (one
// frame-buffer store and one dirty-list entry) on the same positions; both hot
// (frame after frame, everything in cache) and cold (the caches evicted before
// each frame, as the X server and other programs do between the ticks of the
// running saver). The console output ends with the step/baseline time ratio per
// grid point. (The presentation is the platform's; plix-present-bench.exe
// measures it under Wine.)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framebuf/framebuf.h"
#include "settings/settings.h"
#include "sim/dots.h"
#include "sim/render.h"

namespace {

frame_buffer g_fb;

// A width x height field of `count` dots with `history` trail points, brought to a
// steady state first: animated for at least one trail length (and at least 200
// frames), so that every trail is spread out along the dot's path as in a saver
// that has run a while. Timing earlier would find most trail points still on
// the start pixel, in cache.
// Google Benchmark calls each function several times; a field already built for
// the same grid point is reused (its animation simply goes on).
bool make_field(int32_t count, int32_t history, int32_t width, int32_t height) {
    static int32_t built[4] = {-1, -1, -1, -1};
    const int32_t point[4] = {count, history, width, height};
    if (memcmp(built, point, sizeof point) == 0 && dot && g_fb.pixels) return true;
    memcpy(built, point, sizeof point);
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
    set_screen_size(width, height);
    set_dot_fade();
    init_dots();
    deinit_framebuf(&g_fb);
    if (new_picture(&g_fb, width, height, dirty_dot, false, 0, 0) != 0) return false;
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

// Twice the last-level cache here (32 MB), written between cold frames: what
// the frame left in the caches (and the TLB) is gone before the next one, as in
// the saver, where the X server copies frames and other programs run in between.
void evict_caches() {
    static std::vector<unsigned char> other(64u << 20);
    static unsigned char round;
    memset(other.data(), ++round, other.size());
    benchmark::DoNotOptimize(other.data());
}

// Times `frame` on the field the arguments name: dots, trail and, for a cold
// run, the field's width and height (hot runs are on 1024 x 768).
template <void (*frame)(frame_buffer *), bool cold>
void run_frames(benchmark::State &state) {
    const int32_t width = cold ? int32_t(state.range(2)) : 1024;
    const int32_t height = cold ? int32_t(state.range(3)) : 768;
    if (!make_field(int32_t(state.range(0)), int32_t(state.range(1)), width, height)) {
        state.SkipWithError("out of memory");
        return;
    }
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            evict_caches();
            state.ResumeTiming();
        }
        frame(&g_fb);
        benchmark::ClobberMemory();
    }
    set_pixel_rate(state);
}

// The frame step: every dot moved and drawn, its pixels recorded.
void step_frame(frame_buffer *frame) { render_dots(frame); }

// The frame step and the choice of how to present it by the platform's costs:
// what the running program spends on a frame before the copy itself.
void planned_frame(frame_buffer *frame) {
    render_dots(frame);
    benchmark::DoNotOptimize(plan_presentation(frame, plat_present_costs()));
}

void grid(benchmark::internal::Benchmark *b) {
    for (int64_t count : {10, 100, 1000})
        for (int64_t history : {1, 16, 64, 256, 1024}) b->Args({count, history});
    b->ArgNames({"dots", "trail"});
}

// Frames per cold run: each costs an eviction of some milliseconds, untimed.
constexpr int64_t cold_frames = 100;

// The defaults and 1000 x 256 on real screen sizes, up to two 4K monitors.
void cold_grid(benchmark::internal::Benchmark *b) {
    for (auto [count, history] : {std::pair<int64_t, int64_t>{100, 64}, {1000, 256}})
        for (auto [w, h] :
             {std::pair<int64_t, int64_t>{1024, 768}, {1920, 1080}, {3840, 2160}, {7680, 2160}})
            b->Args({count, history, w, h});
    b->ArgNames({"dots", "trail", "width", "height"});
}

BENCHMARK_TEMPLATE(run_frames, baseline_frame, false)->Name("BM_baseline")->Apply(grid);
BENCHMARK_TEMPLATE(run_frames, step_frame, false)->Name("BM_step")->Apply(grid);
BENCHMARK_TEMPLATE(run_frames, planned_frame, false)->Name("BM_planned")->Apply(grid);
BENCHMARK_TEMPLATE(run_frames, planned_frame, true)
    ->Name("BM_planned_cold")
    ->Apply(cold_grid)
    ->Iterations(cold_frames);
BENCHMARK_TEMPLATE(run_frames, baseline_frame, true)
    ->Name("BM_baseline_cold")
    ->Apply(cold_grid)
    ->Iterations(cold_frames);
BENCHMARK_TEMPLATE(run_frames, step_frame, true)
    ->Name("BM_step_cold")
    ->Apply(cold_grid)
    ->Iterations(cold_frames);

// The console output plus, at the end, render time / baseline time per grid
// point, hot and cold.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &reports) override {
        for (const Run &r : reports) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
            std::string name = r.benchmark_name();
            size_t slash = name.find('/');
            if (slash == std::string::npos) continue;
            std::string kind = name.substr(0, slash), cache = "hot";
            if (kind.size() > 5 && kind.compare(kind.size() - 5, 5, "_cold") == 0) {
                kind.resize(kind.size() - 5);
                cache = "cold";
            }
            times_[{cache, name.substr(slash + 1)}][kind].push_back(r.GetAdjustedCPUTime());
        }
        ConsoleReporter::ReportRuns(reports);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        printf(
            "\nCPU time per frame in ns (fastest of the repetitions), and ratios to the "
            "baseline\n");
        printf("%-5s %-40s %12s %12s %8s\n", "cache", "field", "step", "baseline", "step/b");
        for (auto &[point, t] : times_) {
            if (!t.count("BM_baseline") || !t.count("BM_step")) continue;
            double step = fastest(t["BM_step"]), base = fastest(t["BM_baseline"]);
            printf("%-5s %-40s %12.0f %12.0f %8.2f\n", point.first.c_str(), point.second.c_str(),
                   step, base, step / base);
        }
    }

private:
    // The fastest repetition: on a shared machine load only ever adds time.
    static double fastest(const std::vector<double> &v) {
        return *std::min_element(v.begin(), v.end());
    }
    std::map<std::pair<std::string, std::string>, std::map<std::string, std::vector<double>>>
        times_;
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
