// The reduced copies that draw a 6000 × 4000 photo below 100 %. Cold: the first repaint after a
// whole-picture effect at fit-to-window, which prepares level 2 of every block (through level 1,
// not kept) from tiles nothing has reduced yet, timed beside one memcpy of the picture (96 MB) in
// the same iteration; the target is ratio_to_memcpy (median over median) <= 1. The mean in the Time column also holds
// the first iteration, which faults in the memory the copies take. Warm: what every later repaint
// asks, each block of level 2.
//
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -DQUORVEL_BENCHMARKS=ON
//   cmake --build build-rel -j2 --target quorvel_bench
//   build-rel/bench/quorvel_bench --benchmark_filter=Reduced
#include "tiles/CReducedCopies.h"

#include "CoreSupport.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace {

constexpr int W = 6000;
constexpr int H = 4000;
constexpr int FitLevel = 2; // a quarter: 1500 × 1000 on screen

using bench::Clock;
using bench::Median;
using bench::Seconds;

QImage Photo()
{
    return bench::PatternPhoto(W, H);
}

void BM_ReducedCopiesColdPrepare(benchmark::State& state)
{
    const QImage photo = Photo();
    // Faulted in before the first iteration, so the baseline is the copy alone.
    std::vector<char> from(std::size_t(W) * H * 4, 1), to(from.size(), 0);
    std::vector<double> steps, copies;
    for (auto _ : state) {
        // Fresh tiles just written, as a whole-picture effect leaves them before the repaint.
        auto picture = ImageState::FromImage(photo);
        CReducedCopies reduced;
        auto start = Clock::now();
        if (!picture || !reduced.Prepare(*picture, FitLevel, picture->rect()))
            state.SkipWithError("out of memory");
        steps.push_back(Seconds(Clock::now() - start));
        state.SetIterationTime(steps.back());

        start = Clock::now();
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        copies.push_back(Seconds(Clock::now() - start));
    }
    state.counters["step_ms"] = Median(steps) * 1e3;
    state.counters["memcpy_ms"] = Median(copies) * 1e3;
    state.counters["ratio_to_memcpy"] = Median(steps) / Median(copies);
}

void BM_ReducedCopiesWarmLookups(benchmark::State& state)
{
    auto picture = ImageState::FromImage(Photo());
    CReducedCopies reduced;
    if (!picture || !reduced.Prepare(*picture, FitLevel, picture->rect())) {
        state.SkipWithError("out of memory");
        return;
    }
    const int columns = (W + CReducedCopies::BlockSide - 1) / CReducedCopies::BlockSide;
    const int rows = (H + CReducedCopies::BlockSide - 1) / CReducedCopies::BlockSide;
    const std::size_t computed = reduced.Computed();
    Clock::duration spent{};
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                QImage block = reduced.Block(*picture, FitLevel, column, row);
                benchmark::DoNotOptimize(block);
            }
        }
        spent += Clock::now() - start;
    }
    if (reduced.Computed() != computed)
        state.SkipWithError("a warm lookup computed a block again");
    state.counters["blocks"] = double(columns) * rows;
    state.counters["ns_per_block"] = Seconds(spent) * 1e9 / (double(state.iterations()) * columns * rows);
}

} // namespace

BENCHMARK(BM_ReducedCopiesColdPrepare)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);
BENCHMARK(BM_ReducedCopiesWarmLookups)->Unit(benchmark::kMicrosecond);
