#pragma once

#include "tiles/ImageState.h"

#include <QImage>
#include <QRect>

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

// Reduced copies of the history's pictures (halved 1 to MaxLevel times), kept per block of a fixed
// grid, for drawing below 100 % without reading the whole picture each frame.
//
// A block's copies depend only on the storage tiles it meets, so they are kept under those tiles'
// identity: states sharing tiles (a clone, a state derived by a small edit) share their copies, and
// a few versions of each block are kept so that undo and redo between states find theirs again.
// States are never changed once shown, so the identity of the storage is enough.
//
// One thread uses an instance at a time; Prepare brings its own helper thread.
class CReducedCopies
{
public:
    // Image pixels; blocks lie on a grid from (0, 0). Large enough that an exact halving draws a
    // frame in a few hundred calls, small enough that an edit reduces little beside it again.
    static constexpr int BlockSide = 256;
    static constexpr int MaxLevel = 5; // 1/32
    explicit CReducedCopies(std::size_t budgetBytes = std::size_t(256) << 20);

    // The picture halved `level` times (1..MaxLevel), the part of block (column, row) of the
    // BlockSide grid: ceil(w / 2^level) x ceil(h / 2^level) RGB32 pixels, where w x h is the part of
    // the block inside the picture. Computed when missing, from the highest level below that is
    // cached, else from the picture. The QImage shares the cache's pixels (implicitly shared, so it stays
    // valid if evicted). A null image when memory is exhausted, or for a level or block outside
    // the picture's.
    QImage Block(const ImageState& state, int level, int column, int row);
    // Makes every block meeting `area` (image pixels) current at `level`, on two threads when there
    // are many to compute. False when memory is exhausted, counting the budget: when those blocks
    // do not all fit in it, lookups will compute some of them again.
    bool Prepare(const ImageState& state, int level, const QRect& area);
    // Bytes of reduced pixels held.
    std::size_t Bytes() const { return bytes; }
    // How many block reductions were computed since construction (for tests of reuse).
    std::size_t Computed() const { return computed; }
    void Clear();

private:
    // Versions kept of one block at one level.
    static constexpr int VersionsKept = 4;

    // The tiles a block meets, row by row: nearly always one, held without an allocation.
    struct TileRefs
    {
        std::weak_ptr<std::uint32_t[]> first;
        std::vector<std::weak_ptr<std::uint32_t[]>> more;
    };

    struct Entry
    {
        std::uint64_t key;
        TileRefs tiles;
        QImage pixels;
        std::uint64_t stamp; // the Prepare call that last used it
    };
    using Entries = std::list<Entry>;

    struct Slot
    {
        std::array<Entries::iterator, VersionsKept> versions; // most recently used first
        int count = 0;
    };

    // One block to bring from `from` (0: the picture) up to `to`.
    struct Job
    {
        int column, row;
        int from, to;
        QImage base; // level `from`, null for the picture
    };

    static std::uint64_t Key(int level, int column, int row);
    static TileRefs TilesOf(const ImageState& state, const ImageState::TileRange& range);
    // Whether `tiles` are still the state's tiles in `range`.
    static bool Current(const TileRefs& tiles, const ImageState& state, const ImageState::TileRange& range);
    // No state holds all of `tiles` any more, so what was made from them is never current again.
    static bool Gone(const TileRefs& tiles);
    static QRect BlockRect(const ImageState& state, int column, int row);
    static bool ValidBlock(const ImageState& state, int level, int column, int row);

    // The version of the block that is current for `state`, marked as just used; null when none.
    // Drops versions whose tiles are gone, since no state can match them again.
    const Entry* Find(const ImageState& state, int level, int column, int row);
    // The highest level below `level` that is current, as a job to compute the rest.
    Job Plan(const ImageState& state, int level, int column, int row);
    // Runs the job, adding its top level to `made` for Store and returning it, null when memory is
    // exhausted. The levels between are not kept: each stays in the processor cache while it is halved
    // again, and keeping them would write a quarter of the picture more to memory (and fault it
    // in) for a zoom that may never be asked for; one that is asks for the blocks it shows.
    QImage Run(const ImageState& state, const Job& job, Entries& made);
    // On two threads when there are many; false when memory is exhausted.
    bool RunAll(const ImageState& state, const std::vector<Job>& jobs);
    // Moves `made` into the cache, within the budget. Thread-safe: the helper of Prepare stores
    // too, and under the lock nothing is allocated but new positions.
    void Store(Entries& made);
    void Touch(Slot& slot, int index);
    void Drop(Entries::iterator entry);

    std::size_t budget;
    std::size_t bytes = 0;
    std::size_t computed = 0;
    Entries recent; // most recently used first
    std::unordered_map<std::uint64_t, Slot> positions;
    std::mutex storing;
    // The Prepare call under way and its level, to notice when the budget evicts what it prepares.
    std::uint64_t stamp = 0;
    int preparing = 0;
    bool overflowed = false;
};
