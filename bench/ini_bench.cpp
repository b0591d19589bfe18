// The settings-file reader and writer on large files: bytes per second for a
// file whose [Plix] section comes last, at several sizes. Equal rates at every
// size show the work grows linearly with the file (no quadratic scans).
#include <benchmark/benchmark.h>

#include <string>

#include "inifile/inifile.h"

namespace {

// About `bytes` of other entries, then [Plix] with one key, lines ending in `eol`.
std::string big_file(size_t bytes, const std::string &eol) {
    std::string text = "[Noise]" + eol;
    for (int i = 0; text.size() < bytes; i++)
        text += "key" + std::to_string(i) + "=" + std::string(size_t(i % 50), 'v') + eol;
    return text + "[Plix]" + eol + "dot_count=17" + eol;
}

void BM_ini_get_int(benchmark::State &state) {
    std::string text = big_file(size_t(state.range(0)), state.range(1) ? "\r" : "\r\n");
    for (auto _ : state) benchmark::DoNotOptimize(ini_get_int(text, "Plix", "dot_count", 0));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_ini_set_string(benchmark::State &state) {
    std::string text = big_file(size_t(state.range(0)), state.range(1) ? "\r" : "\r\n"), out;
    for (auto _ : state) {
        ini_set_string(text, "Plix", "inertia", "3", &out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// Sizes 100 kB, 1 MB, 10 MB; line ends CR LF (0) or CR alone (1).
void sizes(benchmark::internal::Benchmark *b) {
    for (int cr : {0, 1})
        for (int64_t size : {100'000, 1'000'000, 10'000'000}) b->Args({size, cr});
}

BENCHMARK(BM_ini_get_int)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ini_set_string)->Apply(sizes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
