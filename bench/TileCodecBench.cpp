// Packing the tiles of a 6000 × 4000 photo-like picture for the scratch file, one thread: on their
// own (the first step of a history) and as the difference to an inverted neighbour. Reported per
// picture beside one memcpy of it in the same run, with the packed share of the raw bytes.
//
//   build-rel/bench/quorvel_bench --benchmark_filter=TileCodec
#include "tiles/CTileCodec.h"
#include "tiles/ImageState.h"

#include "CoreSupport.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int W = 6000;
constexpr int H = 4000;

void PackPicture(benchmark::State& state, bool againstInverted)
{
    const QImage photo = bench::Photo(W, H);
    auto picture = ImageState::FromImage(photo);
    QImage negative = photo;
    negative.invertPixels();
    auto neighbour = ImageState::FromImage(negative);
    if (!picture || !neighbour) {
        state.SkipWithError("out of memory");
        return;
    }
    const int count = picture->TileWidth() * picture->TileHeight();
    std::vector<char> from(std::size_t(W) * H * 4, 1), to(from.size(), 0);
    std::vector<std::uint8_t> packed;
    std::vector<double> steps, copies;
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        auto start = bench::Clock::now();
        const ImageState::TileRange all = picture->TilesMeeting(picture->rect());
        for (int row = all.firstRow; row <= all.lastRow; ++row) {
            for (int column = all.firstColumn; column <= all.lastColumn; ++column) {
                const std::uint32_t* base = againstInverted ? neighbour->TilePixels(column, row) : nullptr;
                if (!CTileCodec::Pack(picture->TilePixels(column, row), base, count, picture->TileWidth(), packed))
                    state.SkipWithError("packing failed");
                bytes += packed.size();
            }
        }
        steps.push_back(bench::Seconds(bench::Clock::now() - start));
        state.SetIterationTime(steps.back());
        start = bench::Clock::now();
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        copies.push_back(bench::Seconds(bench::Clock::now() - start));
    }
    state.counters["ratio_to_memcpy"] = bench::Median(steps) / bench::Median(copies);
    state.counters["packed_percent"] = 100.0 * double(bytes) / (double(W) * H * 4);
}

} // namespace

BENCHMARK_CAPTURE(PackPicture, Alone, false)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(PackPicture, AgainstInverted, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
