// Costs of the effects on a 6000 × 4000 photo-like picture, in steady state as the live preview
// runs them: the effect makes its new state, the state is dropped, the effect runs again. Each
// benchmark reports `ratio_to_memcpy`, its time per step over one memcpy of the picture's bytes
// timed in the same process (best of several, before the first benchmark), so that the ratios are
// comparable across machines.
//
// Run (Release build, nothing else compiling): scripts/bench.sh, or by hand
//   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF
//   cmake --build build-release -j2 --target quorvel_bench
//   build-release/bench/quorvel_bench --benchmark_filter=Effects
//
// Targets, as ratio_to_memcpy: pixel effects over the whole image <= 1.5, overlays <= 3, an
// ellipse over 1 % of the image <= 0.1 with its new state's private bytes <= 3 % of the image
// (private_pct), a preview step <= 2 with no page faults once warm (faults_per_step), and a
// history of 100 effects on 1 % ellipses holding <= 5 images' bytes (history_to_image).
#include "document/CImageDoc.h"

#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr int W = 6000;
constexpr int H = 4000;
constexpr double ImageBytes = double(W) * H * 4;

using Clock = std::chrono::steady_clock;
using Effect = std::function<bool(CImageDoc&)>;

// Smooth gradients with a little noise, like a photograph: no long runs of equal pixels.
QImage PhotoLike()
{
    QImage image(W, H, QImage::Format_RGB32);
    std::vector<int> wave(W);
    for (int x = 0; x < W; ++x)
        wave[std::size_t(x)] = int(110 * std::sin(x * 0.003));
    std::uint32_t noise = 12345;
    for (int y = 0; y < H; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int g = 128 + int(100 * std::cos(y * 0.002));
        for (int x = 0; x < W; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 28); // 0..15
            row[x] = qRgb(std::clamp(128 + wave[std::size_t(x)] + n, 0, 255), std::clamp(g + n, 0, 255),
                          (x + y) * 255 / (W + H));
        }
    }
    return image;
}

// The picture loaded once into a document that every benchmark returns to its single state.
CImageDoc& Doc()
{
    static CImageDoc doc;
    static const bool loaded = [] {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("photo.bmp"));
        return PhotoLike().save(path, "BMP") && doc.Load(path);
    }();
    (void)loaded;
    return doc;
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// One memcpy of the picture's bytes, best of several, with both buffers faulted in first.
double MemcpySeconds()
{
    static const double best = [] {
        std::vector<char> from(std::size_t(ImageBytes), 1), to(from.size(), 0);
        double fastest = 1e9;
        for (int i = 0; i < 20; ++i) {
            const auto start = Clock::now();
            std::memcpy(to.data(), from.data(), from.size());
            benchmark::DoNotOptimize(to.data());
            benchmark::ClobberMemory();
            fastest = std::min(fastest, Seconds(Clock::now() - start));
        }
        return fastest;
    }();
    return best;
}

long MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

void SelectEllipse(CImageDoc& doc, QPoint centre)
{
    // 677 × 451: an inscribed ellipse of about 1 % of 6000 × 4000.
    doc.selection.Clear();
    doc.selection.AddPoint(centre - QPoint(338, 225));
    doc.selection.AddPoint(centre + QPoint(339, 226));
    doc.selection.kind = SelectionKind::Ellipse;
}

bool Ready(benchmark::State& state, CImageDoc& doc)
{
    if (!doc.IsLoaded() || doc.UndoDepth() != 1) {
        state.SkipWithError("the picture is not loaded");
        return false;
    }
    return true;
}

void Report(benchmark::State& state, double seconds)
{
    const double perStep = seconds / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["ratio_to_memcpy"] = perStep / MemcpySeconds();
    state.counters["memcpy_ms"] = MemcpySeconds() * 1e3;
}

// Times the effect alone, new state included; dropping it again is left out of the time.
void TimeApply(benchmark::State& state, const Effect& effect)
{
    CImageDoc& doc = Doc();
    if (!Ready(state, doc))
        return;
    for (int warm = 0; warm < 2; ++warm) { // fill the tile pool with mapped pages
        effect(doc);
        doc.DropNewest();
    }
    double seconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!effect(doc))
            state.SkipWithError("the effect failed");
        seconds += Seconds(Clock::now() - start);
        state.PauseTiming();
        doc.DropNewest();
        state.ResumeTiming();
    }
    Report(state, seconds);
}

void BM_Effects_Whole(benchmark::State& state, const Effect& effect)
{
    Doc().selection.Clear();
    TimeApply(state, effect);
}

std::size_t PrivateBytes(const ImageState& state, const std::vector<const void*>& below)
{
    std::size_t bytes = 0;
    for (int row = 0; row < state.TileRows(); ++row)
        for (int column = 0; column < state.TileColumns(); ++column)
            bytes += state.TileId(column, row) != below[std::size_t(row) * state.TileColumns() + column]
                         ? CTilePool::TileBytes
                         : 0;
    return bytes;
}

void BM_Effects_Ellipse1Percent(benchmark::State& state)
{
    CImageDoc& doc = Doc();
    if (!Ready(state, doc))
        return;
    SelectEllipse(doc, QPoint(3100, 1900)); // across tile borders in both directions
    TimeApply(state, [](CImageDoc& d) { return d.ApplyGray(10); });

    std::vector<const void*> below;
    const ImageState& base = doc.CurrentState();
    for (int row = 0; row < base.TileRows(); ++row)
        for (int column = 0; column < base.TileColumns(); ++column)
            below.push_back(base.TileId(column, row));
    doc.ApplyGray(10);
    const double bytes = double(PrivateBytes(doc.CurrentState(), below));
    doc.DropNewest();
    state.counters["private_MB"] = bytes / 1e6;
    state.counters["private_pct"] = 100 * bytes / ImageBytes;
    doc.selection.Clear();
}

// The live preview's step: drop the previous preview, apply the effect again.
void BM_Effects_PreviewStep(benchmark::State& state)
{
    CImageDoc& doc = Doc();
    if (!Ready(state, doc))
        return;
    doc.selection.Clear();
    for (int warm = 0; warm < 3; ++warm) {
        doc.ApplyGray(10);
        doc.DropNewest();
    }
    doc.ApplyGray(10);
    const long faultsBefore = MinorFaults();
    double seconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        doc.DropNewest();
        if (!doc.ApplyGray(10))
            state.SkipWithError("the effect failed");
        seconds += Seconds(Clock::now() - start);
    }
    const long faults = MinorFaults() - faultsBefore;
    doc.DropNewest();
    Report(state, seconds);
    state.counters["faults_per_step"] =
        double(faults) / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

// A hundred effects, each on its own 1 % ellipse, kept in the history.
void BM_Effects_History100(benchmark::State& state)
{
    CImageDoc& doc = Doc();
    if (!Ready(state, doc))
        return;
    double historyRatio = 0;
    for (auto _ : state) {
        std::uint32_t lcg = 7;
        for (int i = 0; i < 100; ++i) {
            lcg = lcg * 1664525u + 1013904223u;
            const int x = 400 + int(lcg % (W - 800)), y = 300 + int((lcg >> 12) % (H - 600));
            SelectEllipse(doc, QPoint(x, y));
            if (!doc.ApplyInvert())
                state.SkipWithError("the effect failed");
        }
        state.PauseTiming();
        historyRatio = double(doc.HistoryBytes()) / ImageBytes;
        while (doc.UndoDepth() > 1)
            doc.DropNewest();
        state.ResumeTiming();
    }
    doc.selection.Clear();
    state.counters["history_to_image"] = historyRatio;
}

bool Gray(CImageDoc& d)
{
    return d.ApplyGray(10);
}
bool Invert(CImageDoc& d)
{
    return d.ApplyInvert();
}
bool Brightness(CImageDoc& d)
{
    return d.ApplyBrightness(40);
}
bool Rgb(CImageDoc& d)
{
    return d.ApplyRgb(20, -10, 30);
}
bool Threshold(CImageDoc& d)
{
    return d.ApplyThreshold(128, false);
}
bool ColorFilter(CImageDoc& d)
{
    return d.ApplyColorFilter(true, 64, 192, false, 0, 255, false, 0, 255, true, 0, 0x00FFFFFF);
}
bool Lines(CImageDoc& d)
{
    return d.ApplyLines(0, 1, 1, 0x000000FF, 0, 128);
}
bool Dots(CImageDoc& d)
{
    return d.ApplyDots(1, 1, 0x0000FF00, 128);
}
bool SolidFill(CImageDoc& d)
{
    return d.ApplySolidFill(0x00FF0000, 128);
}

} // namespace

BENCHMARK_CAPTURE(BM_Effects_Whole, Gray, Gray)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Effects_Whole, Invert, Invert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Effects_Whole, Brightness, Brightness)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Effects_Whole, Rgb, Rgb)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Effects_Whole, Threshold, Threshold)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Effects_Whole, ColorFilter, ColorFilter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Effects_Whole, Lines, Lines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Effects_Whole, Dots, Dots)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Effects_Whole, SolidFill, SolidFill)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Effects_Ellipse1Percent)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Effects_PreviewStep)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Effects_History100)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
