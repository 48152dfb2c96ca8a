// The history beyond memory on a 6000 × 4000 photo-like picture with a budget of 1 GiB: 200
// whole-picture effects in a row (invert, gray, brightness, RGB, threshold, lines), then undo all
// 200 and redo all 200, each step checked against the pixels it had. Reported beside one memcpy
// of the picture in the same run: the mean effect (with its packing), the median and the slowest
// undo or redo, the peak resident memory of the process against the budget, and the scratch
// bytes per step against the picture's raw bytes. Twenty undos and redos at a user's pace follow,
// timed apart.
//
// Then a live preview while the packing of earlier steps runs: twelve whole-picture effects put
// the history over its budget, and each preview step (drop the last, apply again) is timed beside
// a memcpy, with the page faults the process took during it.
//
// Last, the scratch bytes per whole-picture step against the picture's raw bytes, after effects
// that keep the photo's detail (small colour shifts) and after inverts of the step before.
//
//   build-rel/bench/quorvel_bench --benchmark_filter=HistoryBeyondMemory
#include "document/CImageDoc.h"

#include "CoreSupport.h"

#include <QHashFunctions>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

constexpr int W = 6000;
constexpr int H = 4000;
constexpr int Steps = 200;
constexpr int Paced = 20; // undos, then as many redos, at a user's pace
constexpr std::uint64_t Budget = std::uint64_t(1) << 30;

bool Effect(CImageDoc& doc, int step)
{
    switch (step % 6) {
    case 0:
        return doc.ApplyInvert();
    case 1:
        return doc.ApplyGray(step % 256);
    case 2:
        return doc.ApplyBrightness(step % 40 - 20);
    case 3:
        return doc.ApplyRgb(step % 30, -(step % 20), 5);
    case 4:
        return doc.ApplyThreshold(100 + step % 50, step % 2 == 0);
    default:
        return doc.ApplyLines(step % 4, 2, 6, 0x00FF00u, 0, 50);
    }
}

// A fingerprint of the current state's pixels, read in place.
std::size_t Digest(const CImageDoc& doc)
{
    const ImageState& state = doc.CurrentState();
    std::size_t digest = 0;
    for (std::size_t i = 0; i < state.TileCount(); ++i)
        digest = qHashBits(state.TileAt(i).get(), CTilePool::TileBytes, digest);
    return digest;
}

rusage Usage()
{
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage;
}

double PeakResidentBytes()
{
    return double(Usage().ru_maxrss) * 1024;
}

QString SavePhoto(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("photo.bmp"));
    bench::Photo(W, H).save(path, "BMP");
    return path;
}

void BM_HistoryBeyondMemory(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = SavePhoto(dir);
    bench::CopyBaseline picture(std::size_t(W) * H * 4);
    for (auto _ : state) {
        CImageDoc doc;
        doc.SetHistoryBudget(Budget);
        if (!doc.Load(path)) {
            state.SkipWithError("the picture could not be opened");
            return;
        }
        std::vector<std::size_t> digests{Digest(doc)};
        std::vector<double> effects, moves, copies;
        for (int step = 0; step < Steps; ++step) {
            const auto start = bench::Clock::now();
            if (!Effect(doc, step)) {
                state.SkipWithError("an effect failed");
                return;
            }
            effects.push_back(bench::Seconds(bench::Clock::now() - start));
            copies.push_back(picture.Time());
            digests.push_back(Digest(doc));
        }
        const double scratchPerStep = double(doc.ScratchBytes()) / Steps;
        bool same = true;
        const auto move = [&](bool back, std::size_t expected) {
            const auto start = bench::Clock::now();
            const bool moved = back ? doc.Undo() : doc.Redo();
            moves.push_back(bench::Seconds(bench::Clock::now() - start));
            copies.push_back(picture.Time());
            same = same && moved && Digest(doc) == digests[expected];
        };
        for (int step = Steps; step > 0; --step)
            move(true, std::size_t(step - 1));
        for (int step = 1; step <= Steps; ++step)
            move(false, std::size_t(step));
        // At a user's pace, a quarter of a second between steps: the next state comes back
        // meanwhile.
        const std::size_t quick = moves.size();
        for (int step = Steps; step > Steps - Paced; --step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            move(true, std::size_t(step - 1));
        }
        for (int step = Steps - Paced + 1; step <= Steps; ++step) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            move(false, std::size_t(step));
        }
        const std::vector<double> paced(moves.begin() + std::ptrdiff_t(quick), moves.end());
        moves.resize(quick);
        if (!same)
            state.SkipWithError("a state came back different");
        double mean = 0;
        for (double e : effects)
            mean += e / effects.size();
        const double memcpy = bench::Median(copies);
        state.SetIterationTime(mean);
        state.counters["effect_mean_to_memcpy"] = mean / memcpy;
        state.counters["move_median_to_memcpy"] = bench::Median(moves) / memcpy;
        state.counters["undo_median_to_memcpy"] = bench::Median({moves.begin(), moves.begin() + Steps}) / memcpy;
        state.counters["redo_median_to_memcpy"] = bench::Median({moves.begin() + Steps, moves.end()}) / memcpy;
        state.counters["move_slowest_to_memcpy"] = *std::max_element(moves.begin(), moves.end()) / memcpy;
        state.counters["paced_move_median_to_memcpy"] = bench::Median(paced) / memcpy;
        state.counters["paced_move_slowest_to_memcpy"] = *std::max_element(paced.begin(), paced.end()) / memcpy;
        state.counters["memcpy_ms"] = memcpy * 1e3;
        state.counters["peak_rss_MiB"] = PeakResidentBytes() / (1 << 20);
        // The memcpy baseline's two pictures live in the same process.
        state.counters["peak_rss_but_baseline_MiB"] = (PeakResidentBytes() - 2.0 * W * H * 4) / (1 << 20);
        state.counters["budget_plus_3_pictures_MiB"] = (double(Budget) + 3.0 * W * H * 4) / (1 << 20);
        state.counters["scratch_percent_per_step"] = 100 * scratchPerStep / (double(W) * H * 4);
    }
}

void BM_PreviewWhileSpilling(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = SavePhoto(dir);
    bench::CopyBaseline picture(std::size_t(W) * H * 4);
    CImageDoc doc;
    doc.SetHistoryBudget(Budget);
    if (!doc.Load(path)) {
        state.SkipWithError("the picture could not be opened");
        return;
    }
    bool ready = true;
    for (int step = 0; step < 12; ++step)
        ready = ready && Effect(doc, step);
    if (!ready || !doc.ApplyBrightness(1)) { // the last: the dialog's first preview
        state.SkipWithError("an effect failed");
        return;
    }
    std::vector<double> steps, copies;
    long faults = 0;
    int amount = 2;
    for (auto _ : state) {
        const long before = Usage().ru_minflt;
        const auto start = bench::Clock::now();
        const bool previewed = doc.DropNewest() && doc.ApplyBrightness(amount++ % 40);
        const double seconds = bench::Seconds(bench::Clock::now() - start);
        faults += Usage().ru_minflt - before;
        if (!previewed) {
            state.SkipWithError("a preview step failed");
            return;
        }
        steps.push_back(seconds);
        copies.push_back(picture.Time());
        state.SetIterationTime(seconds);
    }
    const double memcpy = bench::Median(copies);
    state.counters["step_median_to_memcpy"] = bench::Median(steps) / memcpy;
    state.counters["page_faults_per_step"] = double(faults) / double(steps.size());
    state.counters["memcpy_ms"] = memcpy * 1e3;
}

void BM_ScratchPerStep(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = SavePhoto(dir);
    const bool inverts = state.range(0) == 1;
    constexpr int Count = 40;
    const double pictureBytes = double(W) * H * 4;
    for (auto _ : state) {
        CImageDoc doc;
        doc.SetHistoryBudget(std::uint64_t(256) << 20);
        if (!doc.Load(path)) {
            state.SkipWithError("the picture could not be opened");
            return;
        }
        const auto start = bench::Clock::now();
        for (int step = 0; step < Count; ++step) {
            const int shift = step % 2 == 0 ? 3 : -3;
            if (!(inverts ? doc.ApplyInvert() : doc.ApplyRgb(shift, -shift, shift))) {
                state.SkipWithError("an effect failed");
                return;
            }
        }
        state.SetIterationTime(bench::Seconds(bench::Clock::now() - start) / Count);
        // The states still in memory hold no records yet.
        const double out = Count + 1 - double(doc.HistoryBytes()) / pictureBytes;
        state.counters["scratch_percent_per_step"] = 100 * double(doc.ScratchBytes()) / out / pictureBytes;
    }
}

} // namespace

BENCHMARK(BM_ScratchPerStep)
    ->ArgName("inverts")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_PreviewWhileSpilling)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_HistoryBeyondMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
