#include "tiles/CReducedCopies.h"

#include "tiles/ParallelWork.h"

#include <algorithm>
#include <atomic>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define QUORVEL_AVX2 1
#endif

namespace {

// Below this many blocks to compute a second thread costs more than it saves.
constexpr std::size_t ParallelBlocks = 16;
// Blocks a thread of Prepare takes at a time: neighbours, whose tiles lie next to each other in
// memory, read faster than blocks taken in turn with the other thread.
constexpr std::size_t JobsTaken = 8;
// Levels a thread of Prepare computes before it takes the lock to store them, so that the two
// threads seldom wait for each other.
constexpr std::size_t StoreBatch = 64;

constexpr int LevelShift = 56;
constexpr int ColumnShift = 28;

// Rows of `stride` pixels, `width` × `height` of them read.
struct Pixels
{
    const std::uint32_t* first;
    qsizetype stride;
    int width, height;
};

Pixels Of(const QImage& image)
{
    return {reinterpret_cast<const std::uint32_t*>(image.constBits()), image.bytesPerLine() / 4, image.width(),
            image.height()};
}

// The portable average: blue and red in two 16-bit lanes, green alone, so four pixels' sums never
// carry into the next lane; the compiler vectorises it. The alpha is 0xFF whatever the pixels held.
inline std::uint32_t Average(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    constexpr std::uint32_t BlueRed = 0x00FF00FFu;
    constexpr std::uint32_t Green = 0x0000FF00u;
    const std::uint32_t br = (a & BlueRed) + (b & BlueRed) + (c & BlueRed) + (d & BlueRed) + 0x00020002u;
    const std::uint32_t g = (a & Green) + (b & Green) + (c & Green) + (d & Green) + 0x00000200u;
    return 0xFF000000u | ((br >> 2) & BlueRed) | ((g >> 2) & Green);
}

#if defined(__SSE2__)
__m128 AsFloats(__m128i v)
{
    return _mm_castsi128_ps(v);
}

__m128i AsInts(__m128 v)
{
    return _mm_castps_si128(v);
}

// Average for four output pixels at a time with the byte averages of SSE2, which round up:
// avg(avg(a, c), avg(b, d)) is one too high exactly when the two inner averages differ in their
// last bit and one of them was rounded (a ^ c or b ^ d odd), and the correction takes that back. It
// equals (a + b + c + d + 2) >> 2 for every input. Returns the output pixels done.
int HalveRowSse2(const std::uint32_t* top, const std::uint32_t* bottom, int pairs, std::uint32_t* out)
{
    const __m128i lowBit = _mm_set1_epi8(1);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    int x = 0;
    for (; x + 4 <= pairs; x += 4) {
        const auto load = [](const std::uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
        const __m128i top0 = load(top + 2 * x), top1 = load(top + 2 * x + 4);
        const __m128i bottom0 = load(bottom + 2 * x), bottom1 = load(bottom + 2 * x + 4);
        // Down first, each pixel with the one below it; then across, even pixels with odd ones.
        const __m128 down0 = AsFloats(_mm_avg_epu8(top0, bottom0)), down1 = AsFloats(_mm_avg_epu8(top1, bottom1));
        const __m128 odd0 = AsFloats(_mm_xor_si128(top0, bottom0)), odd1 = AsFloats(_mm_xor_si128(top1, bottom1));
        const __m128i left = AsInts(_mm_shuffle_ps(down0, down1, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128i right = AsInts(_mm_shuffle_ps(down0, down1, _MM_SHUFFLE(3, 1, 3, 1)));
        const __m128i rounded = _mm_or_si128(AsInts(_mm_shuffle_ps(odd0, odd1, _MM_SHUFFLE(2, 0, 2, 0))),
                                             AsInts(_mm_shuffle_ps(odd0, odd1, _MM_SHUFFLE(3, 1, 3, 1))));
        const __m128i over = _mm_and_si128(_mm_and_si128(_mm_xor_si128(left, right), rounded), lowBit);
        const __m128i average = _mm_sub_epi8(_mm_avg_epu8(left, right), over);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(average, alpha));
    }
    return x;
}
#endif

#if defined(QUORVEL_AVX2)
// The same for eight output pixels at a time, where the processor has AVX2 (the build assumes only
// SSE2). Its shuffles stay inside each 128-bit half, so the pixels come out in the order 0 1 4 5
// 2 3 6 7 in pairs, and one permutation at the end puts them right.
__attribute__((target("avx2"))) int HalveRowAvx2(const std::uint32_t* top, const std::uint32_t* bottom, int pairs,
                                                 std::uint32_t* out)
{
    const __m256i lowBit = _mm256_set1_epi8(1);
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    int x = 0;
    for (; x + 8 <= pairs; x += 8) {
        const auto* const up = reinterpret_cast<const __m256i*>(top + 2 * x);
        const auto* const down = reinterpret_cast<const __m256i*>(bottom + 2 * x);
        const __m256i top0 = _mm256_loadu_si256(up), top1 = _mm256_loadu_si256(up + 1);
        const __m256i bottom0 = _mm256_loadu_si256(down), bottom1 = _mm256_loadu_si256(down + 1);
        const __m256 down0 = _mm256_castsi256_ps(_mm256_avg_epu8(top0, bottom0));
        const __m256 down1 = _mm256_castsi256_ps(_mm256_avg_epu8(top1, bottom1));
        const __m256 odd0 = _mm256_castsi256_ps(_mm256_xor_si256(top0, bottom0));
        const __m256 odd1 = _mm256_castsi256_ps(_mm256_xor_si256(top1, bottom1));
        const __m256i left = _mm256_castps_si256(_mm256_shuffle_ps(down0, down1, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m256i right = _mm256_castps_si256(_mm256_shuffle_ps(down0, down1, _MM_SHUFFLE(3, 1, 3, 1)));
        const __m256i rounded =
            _mm256_or_si256(_mm256_castps_si256(_mm256_shuffle_ps(odd0, odd1, _MM_SHUFFLE(2, 0, 2, 0))),
                            _mm256_castps_si256(_mm256_shuffle_ps(odd0, odd1, _MM_SHUFFLE(3, 1, 3, 1))));
        const __m256i over = _mm256_and_si256(_mm256_and_si256(_mm256_xor_si256(left, right), rounded), lowBit);
        const __m256i average = _mm256_or_si256(_mm256_sub_epi8(_mm256_avg_epu8(left, right), over), alpha);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            _mm256_permute4x64_epi64(average, _MM_SHUFFLE(3, 1, 2, 0)));
    }
    return x;
}

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// One row of the next level from rows `top` and `bottom` of this one; an odd last column counts
// twice.
void HalveRow(const std::uint32_t* top, const std::uint32_t* bottom, int width, std::uint32_t* out)
{
    const int pairs = width / 2;
    int x = 0;
#if defined(QUORVEL_AVX2)
    if (HasAvx2())
        x = HalveRowAvx2(top, bottom, pairs, out);
#endif
#if defined(__SSE2__)
    x += HalveRowSse2(top + 2 * x, bottom + 2 * x, pairs - x, out + x);
#endif
    for (; x < pairs; ++x)
        out[x] = Average(top[2 * x], top[2 * x + 1], bottom[2 * x], bottom[2 * x + 1]);
    if (width % 2 != 0)
        out[pairs] = Average(top[width - 1], top[width - 1], bottom[width - 1], bottom[width - 1]);
}

// The processor's own prefetch stops at each 4 KiB page, every 8 rows of a 128-pixel tile, and the
// halving then waits on memory longer than it computes: rows this far ahead are asked for while the
// current ones are halved.
constexpr int AheadRows = 8;

// Halves `from` into rows of `outStride` pixels from `out`; an odd last row counts twice.
void HalveInto(const Pixels& from, std::uint32_t* out, qsizetype outStride)
{
    const int height = (from.height + 1) / 2;
    for (int y = 0; y < height; ++y, out += outStride) {
        const std::uint32_t* top = from.first + 2 * y * from.stride;
#if defined(__GNUC__)
        // Written out here: GCC drops calls to a function that does nothing but prefetch.
        for (int ahead = y == 0 ? 0 : 2 * y + AheadRows; ahead <= std::min(2 * y + AheadRows + 1, from.height - 1);
             ++ahead) {
            const char* line = reinterpret_cast<const char*>(from.first + ahead * from.stride);
            for (int offset = 0; offset < from.width * 4; offset += 64)
                __builtin_prefetch(line + offset);
        }
#endif
        HalveRow(top, 2 * y + 1 < from.height ? top + from.stride : top, from.width, out);
    }
}

QImage HalfOf(int width, int height)
{
    return QImage((width + 1) / 2, (height + 1) / 2, QImage::Format_RGB32);
}

// The next level of `from`. Null when memory is exhausted.
QImage Halve(const Pixels& from)
{
    QImage out = HalfOf(from.width, from.height);
    if (!out.isNull())
        HalveInto(from, reinterpret_cast<std::uint32_t*>(out.bits()), out.bytesPerLine() / 4);
    return out;
}

// The first level of the picture's `block`, read in place from the tiles it meets. Tiles of even
// sides start on even pixels, so no pair of pixels averaged together lies in two tiles and each
// tile's part halves on its own, odd only at the picture's edge as the block is. Other tiles are
// copied together first. Null when memory is exhausted.
QImage HalvePicture(const ImageState& state, const QRect& block)
{
    if (state.TileWidth() % 2 != 0 || state.TileHeight() % 2 != 0) {
        const QImage copy = state.ReadRegion(block);
        return copy.isNull() ? copy : Halve(Of(copy));
    }
    QImage out = HalfOf(block.width(), block.height());
    if (out.isNull())
        return out;
    auto* const first = reinterpret_cast<std::uint32_t*>(out.bits());
    const qsizetype outStride = out.bytesPerLine() / 4;
    const ImageState::TileRange range = state.TilesMeeting(block);
    for (int row = range.firstRow; row <= range.lastRow; ++row) {
        for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
            const QRect tile = state.TileRect(column, row);
            const QRect part = tile.intersected(block);
            const qsizetype offset =
                qsizetype(part.top() - tile.top()) * state.TileWidth() + (part.left() - tile.left());
            const Pixels from{state.TilePixels(column, row) + offset, state.TileWidth(), part.width(), part.height()};
            HalveInto(from, first + (part.top() - block.top()) / 2 * outStride + (part.left() - block.left()) / 2,
                      outStride);
        }
    }
    return out;
}

int LevelOf(std::uint64_t key)
{
    return int(key >> LevelShift);
}

using Tile = std::weak_ptr<std::uint32_t[]>;

// By owner, not address: a weak_ptr keeps the old control block alive, so a tile handed out again
// at the same address never compares equal.
bool Same(const Tile& tile, const CTilePool::TilePtr& now)
{
    return !tile.owner_before(now) && !now.owner_before(tile);
}

} // namespace

CReducedCopies::CReducedCopies(std::size_t budgetBytes) : budget(budgetBytes) {}

CReducedCopies::TileRefs CReducedCopies::TilesOf(const ImageState& state, const ImageState::TileRange& range)
{
    TileRefs tiles{state.TileHandle(range.firstColumn, range.firstRow), {}};
    for (int row = range.firstRow; row <= range.lastRow; ++row) {
        for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
            if (row != range.firstRow || column != range.firstColumn)
                tiles.more.emplace_back(state.TileHandle(column, row));
        }
    }
    return tiles;
}

bool CReducedCopies::Current(const TileRefs& tiles, const ImageState& state, const ImageState::TileRange& range)
{
    const std::size_t count =
        std::size_t(range.lastColumn - range.firstColumn + 1) * (range.lastRow - range.firstRow + 1);
    if (count != tiles.more.size() + 1 || !Same(tiles.first, state.TileHandle(range.firstColumn, range.firstRow)))
        return false;
    auto more = tiles.more.begin();
    for (int row = range.firstRow; row <= range.lastRow; ++row) {
        for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
            if ((row != range.firstRow || column != range.firstColumn) && !Same(*more++, state.TileHandle(column, row)))
                return false;
        }
    }
    return true;
}

bool CReducedCopies::Gone(const TileRefs& tiles)
{
    return tiles.first.expired() ||
           std::any_of(tiles.more.begin(), tiles.more.end(), [](const Tile& tile) { return tile.expired(); });
}

std::uint64_t CReducedCopies::Key(int level, int column, int row)
{
    return std::uint64_t(level) << LevelShift | std::uint64_t(column) << ColumnShift | std::uint64_t(row);
}

QRect CReducedCopies::BlockRect(const ImageState& state, int column, int row)
{
    return QRect(column * BlockSide, row * BlockSide, BlockSide, BlockSide).intersected(state.rect());
}

bool CReducedCopies::ValidBlock(const ImageState& state, int level, int column, int row)
{
    return level >= 1 && level <= MaxLevel && column >= 0 && row >= 0 &&
           column < (state.width() + BlockSide - 1) / BlockSide && row < (state.height() + BlockSide - 1) / BlockSide;
}

QImage CReducedCopies::Block(const ImageState& state, int level, int column, int row)
{
    if (!ValidBlock(state, level, column, row))
        return {};
    try {
        if (const Entry* entry = Find(state, level, column, row))
            return entry->pixels;
        Entries made;
        const QImage top = Run(state, Plan(state, level, column, row), made);
        Store(made);
        return top;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool CReducedCopies::Prepare(const ImageState& state, int level, const QRect& area)
{
    if (level < 1 || level > MaxLevel)
        return false;
    const QRect inside = area.intersected(state.rect());
    if (inside.isEmpty())
        return true;
    ++stamp;
    preparing = level;
    overflowed = false;
    bool done = false;
    try {
        std::vector<Job> jobs;
        for (int row = inside.top() / BlockSide; row <= inside.bottom() / BlockSide; ++row) {
            for (int column = inside.left() / BlockSide; column <= inside.right() / BlockSide; ++column) {
                if (!Find(state, level, column, row))
                    jobs.push_back(Plan(state, level, column, row));
            }
        }
        // Room for the new positions up front: a rehash would hold the lock while the other thread waits.
        positions.reserve(positions.size() + jobs.size() * std::size_t(level));
        done = RunAll(state, jobs);
    } catch (const std::bad_alloc&) {
    }
    preparing = 0;
    return done && !overflowed;
}

void CReducedCopies::Clear()
{
    positions.clear();
    recent.clear();
    bytes = 0;
}

const CReducedCopies::Entry* CReducedCopies::Find(const ImageState& state, int level, int column, int row)
{
    const auto found = positions.find(Key(level, column, row));
    if (found == positions.end())
        return nullptr;
    Slot& slot = found->second;
    // Tiles are shared only between states of one size, so they alone tell the version.
    const ImageState::TileRange range = state.TilesMeeting(BlockRect(state, column, row));
    for (int i = 0; i < slot.count;) {
        Entry& entry = *slot.versions[i];
        if (Current(entry.tiles, state, range)) {
            entry.stamp = stamp;
            Touch(slot, i);
            return &entry;
        }
        if (!Gone(entry.tiles)) {
            ++i;
            continue;
        }
        const bool last = slot.count == 1;
        Drop(slot.versions[i]);
        if (last)
            return nullptr; // the slot went with it
    }
    return nullptr;
}

CReducedCopies::Job CReducedCopies::Plan(const ImageState& state, int level, int column, int row)
{
    Job job{column, row, 0, level, {}};
    for (int below = level - 1; below >= 1; --below) {
        if (const Entry* entry = Find(state, below, column, row)) {
            job.from = below;
            job.base = entry->pixels;
            break;
        }
    }
    return job;
}

QImage CReducedCopies::Run(const ImageState& state, const Job& job, Entries& made)
{
    const QRect block = BlockRect(state, job.column, job.row);
    TileRefs tiles = TilesOf(state, state.TilesMeeting(block));
    QImage level = job.base;
    for (int next = job.from + 1; next <= job.to; ++next) {
        level = next == 1 ? HalvePicture(state, block) : Halve(Of(level));
        if (level.isNull())
            return {};
    }
    made.push_back(Entry{Key(job.to, job.column, job.row), std::move(tiles), level, 0});
    return level;
}

bool CReducedCopies::RunAll(const ImageState& state, const std::vector<Job>& jobs)
{
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    const auto work = [&] {
        try {
            Entries made;
            for (std::size_t first = next.fetch_add(JobsTaken); first < jobs.size() && !failed;
                 first = next.fetch_add(JobsTaken)) {
                const std::size_t end = std::min(first + JobsTaken, jobs.size());
                for (std::size_t i = first; i < end && !failed; ++i) {
                    if (Run(state, jobs[i], made).isNull())
                        failed = true;
                }
                if (made.size() >= StoreBatch)
                    Store(made);
            }
            Store(made);
        } catch (const std::bad_alloc&) {
            failed = true;
        }
    };
    RunOnTwoThreads(jobs.size() >= ParallelBlocks, work);
    return !failed;
}

void CReducedCopies::Store(Entries& made)
{
    std::lock_guard lock(storing);
    while (!made.empty()) {
        Entry& entry = made.front();
        ++computed;
        const auto size = std::size_t(entry.pixels.sizeInBytes());
        if (size > budget) {
            overflowed = overflowed || LevelOf(entry.key) == preparing;
            made.pop_front();
            continue;
        }
        Slot& slot = positions[entry.key];
        if (slot.count == VersionsKept)
            Drop(slot.versions[VersionsKept - 1]);
        entry.stamp = stamp;
        recent.splice(recent.begin(), made, made.begin());
        std::copy_backward(slot.versions.begin(), slot.versions.begin() + slot.count,
                           slot.versions.begin() + slot.count + 1);
        slot.versions[0] = recent.begin();
        ++slot.count;
        bytes += size;
        while (bytes > budget)
            Drop(std::prev(recent.end()));
    }
}

void CReducedCopies::Touch(Slot& slot, int index)
{
    const Entries::iterator entry = slot.versions[index];
    std::copy_backward(slot.versions.begin(), slot.versions.begin() + index, slot.versions.begin() + index + 1);
    slot.versions[0] = entry;
    recent.splice(recent.begin(), recent, entry);
}

void CReducedCopies::Drop(Entries::iterator entry)
{
    const auto found = positions.find(entry->key);
    Slot& slot = found->second;
    const auto end = slot.versions.begin() + slot.count;
    const auto at = std::find(slot.versions.begin(), end, entry);
    std::copy(at + 1, end, at);
    if (--slot.count == 0)
        positions.erase(found);
    overflowed = overflowed || (entry->stamp == stamp && LevelOf(entry->key) == preparing);
    bytes -= std::size_t(entry->pixels.sizeInBytes());
    recent.erase(entry);
}
