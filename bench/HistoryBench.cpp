// Costs of the history's storage on a 6000 × 4000 photo: loading it into a first state, deriving a
// state that changes a small region, and the bytes the history holds, each beside one memcpy of
// the image measured in the same run.
#include "document/CImageDoc.h"

#include "CoreSupport.h"
#include <QDir>

#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int W = 6000;
constexpr int H = 4000;

QImage Photo()
{
    return bench::PatternPhoto(W, H);
}

const QString& PhotoFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("photo.bmp"));
        Photo().save(p, "BMP");
        return p;
    }();
    return path;
}

void BM_MemcpyImage(benchmark::State& state)
{
    std::vector<char> from(std::size_t(W) * H * 4, 1), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(from.size()));
}

void BM_LoadBmpIntoHistory(benchmark::State& state)
{
    CImageDoc doc;
    for (auto _ : state) {
        if (!doc.Load(PhotoFile()))
            state.SkipWithError("load failed");
    }
    state.counters["history_MB"] = double(doc.HistoryBytes()) / 1e6;
    state.counters["image_MB"] = double(W) * H * 4 / 1e6;
}

void BM_StateFromImage(benchmark::State& state)
{
    const QImage photo = Photo();
    for (auto _ : state) {
        auto s = ImageState::FromImage(photo);
        benchmark::DoNotOptimize(s.get());
    }
}

void BM_SmallRegionState(benchmark::State& state)
{
    auto base = ImageState::FromImage(Photo());
    QImage patch(600, 400, QImage::Format_RGB32); // 1 % of the image
    patch.fill(Qt::red);
    std::size_t privateBytes = 0;
    for (auto _ : state) {
        auto derived = base->Clone();
        derived->WriteRegion(patch, QPoint(2000, 1500));
        privateBytes = 0;
        for (int r = 0; r < derived->TileRows(); ++r)
            for (int c = 0; c < derived->TileColumns(); ++c)
                privateBytes += derived->TileId(c, r) != base->TileId(c, r) ? CTilePool::TileBytes : 0;
    }
    state.counters["new_state_MB"] = double(privateBytes) / 1e6;
}

// A whole-image pixel pass written into a derived state, made and released again as a preview
// step does: the storage itself must leave room for effects near memcpy speed.
void BM_WholeImagePassIntoNewState(benchmark::State& state)
{
    auto base = ImageState::FromImage(Photo());
    const int tilePixels = base->TileWidth() * base->TileHeight();
    for (auto _ : state) {
        auto derived = base->Clone();
        for (int r = 0; r < derived->TileRows(); ++r) {
            for (int c = 0; c < derived->TileColumns(); ++c) {
                const std::uint32_t* src = base->TilePixels(c, r);
                std::uint32_t* dst = derived->DetachTile(c, r, false);
                for (int i = 0; i < tilePixels; ++i)
                    dst[i] = ~src[i] | 0xFF000000u;
            }
        }
        benchmark::DoNotOptimize(derived.get());
    }
}

} // namespace

BENCHMARK(BM_MemcpyImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBmpIntoHistory)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StateFromImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallRegionState)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeImagePassIntoNewState)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
