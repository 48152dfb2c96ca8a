#include "effects/CEffectPipeline.h"

#include "selection/SelectionMasks.h"
#include "tiles/ParallelWork.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

namespace {

// Under a shaped selection a row goes through the rule in pieces of at most this many pixels, so
// the scratch row is small whatever the tiles' width.
constexpr int ScratchPixels = 256;

// Below this many tiles a second thread costs more than it saves.
constexpr std::size_t ParallelTiles = 16;

bool ShapeNeedsMask(SelectionKind kind)
{
    return kind == SelectionKind::Ellipse || kind == SelectionKind::Polygon || kind == SelectionKind::Freeform;
}

bool KnownKind(SelectionKind kind)
{
    return kind == SelectionKind::None || kind == SelectionKind::Rectangle || ShapeNeedsMask(kind);
}

struct TileJob
{
    int column;
    int row;
};

class Run
{
public:
    Run(const ImageState& from, ImageState& into, const QRect& rect, const QImage& shape,
        const CEffectPipeline::SpanRule& effect)
        : source(from), target(into), area(rect), coverage(shape), rule(effect)
    {
    }

    // Takes jobs until they run out; Failed() tells whether a tile could not be allocated.
    void Work(const std::vector<TileJob>& jobs)
    {
        std::uint32_t scratch[ScratchPixels];
        for (std::size_t i = next++; i < jobs.size() && !failed; i = next++) {
            if (!Tile(jobs[i], scratch))
                failed = true;
        }
    }

    bool Failed() const { return failed; }

private:
    bool Tile(const TileJob& job, std::uint32_t* scratch)
    {
        const QRect tileRect = source.TileRect(job.column, job.row);
        const QRect part = tileRect.intersected(area);
        // A tile the effect rewrites completely needs no copy of its old pixels.
        const bool whole = part == tileRect && coverage.isNull();
        // Taken first: in place, a tile other states share is replaced, and they keep the old one.
        const std::uint32_t* in = source.TilePixels(job.column, job.row);
        std::uint32_t* out = target.DetachTile(job.column, job.row, !whole);
        if (!out)
            return false;
        const int offset = part.left() - tileRect.left();
        for (int y = part.top(); y <= part.bottom(); ++y) {
            const std::size_t at = std::size_t(y - tileRect.top()) * source.TileWidth() + offset;
            if (coverage.isNull()) {
                rule(in + at, out + at, part.width(), part.left(), y);
                continue;
            }
            const uchar* selected = coverage.constScanLine(y - area.top()) + (part.left() - area.left());
            for (int done = 0; done < part.width(); done += ScratchPixels) {
                const int count = std::min(ScratchPixels, part.width() - done);
                rule(in + at + done, scratch, count, part.left() + done, y);
                for (int x = 0; x < count; ++x)
                    out[at + done + x] = selected[done + x] ? scratch[x] : in[at + done + x];
            }
        }
        return true;
    }

    const ImageState& source;
    ImageState& target;
    const QRect area;
    const QImage& coverage;
    const CEffectPipeline::SpanRule& rule;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
};

std::vector<TileJob> TilesMeeting(const ImageState& state, const QRect& area)
{
    const ImageState::TileRange range = state.TilesMeeting(area);
    std::vector<TileJob> jobs;
    jobs.reserve(std::size_t(range.lastColumn - range.firstColumn + 1) * (range.lastRow - range.firstRow + 1));
    for (int row = range.firstRow; row <= range.lastRow; ++row)
        for (int column = range.firstColumn; column <= range.lastColumn; ++column)
            jobs.push_back({column, row});
    return jobs;
}

} // namespace

QRect CEffectPipeline::ProcessingRect(const CSelection& selection, QSize image)
{
    const QRect all(QPoint(0, 0), image);
    if (selection.kind == SelectionKind::None)
        return all;
    const CSelection::Bounds& b = selection.bounds;
    // In 64 bits: bounds may be any 32-bit values.
    const std::int64_t left = std::max<std::int64_t>(b.left, 0);
    const std::int64_t top = std::max<std::int64_t>(b.top, 0);
    const std::int64_t right = std::min<std::int64_t>(b.right, image.width());
    const std::int64_t bottom = std::min<std::int64_t>(b.bottom, image.height());
    if (left >= right || top >= bottom)
        return {};
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

bool CEffectPipeline::Process(const ImageState& source, ImageState& target, const CSelection& selection,
                              const SpanRule& rule)
{
    const QRect area = ProcessingRect(selection, source.size());
    if (!rule || area.isEmpty() || !KnownKind(selection.kind))
        return true; // nothing is selected: no pixel changes
    QImage coverage;
    if (ShapeNeedsMask(selection.kind)) {
        coverage = SelectionMasks::Coverage(selection, area);
        if (coverage.isNull())
            return false;
    }
    const std::vector<TileJob> jobs = TilesMeeting(source, area);
    Run run(source, target, area, coverage, rule);
    RunOnThreads(jobs.size() >= ParallelTiles ? AllCores() : 1u, [&] { run.Work(jobs); });
    return !run.Failed();
}

std::unique_ptr<ImageState> CEffectPipeline::Apply(const ImageState& source, const CSelection& selection,
                                                   const SpanRule& rule)
{
    try {
        std::unique_ptr<ImageState> target = source.Clone();
        return target && Process(source, *target, selection, rule) ? std::move(target) : nullptr;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool CEffectPipeline::ApplyInPlace(ImageState& state, const CSelection& selection, const SpanRule& rule)
{
    try {
        return Process(state, state, selection, rule);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
