#include "tiles/CHistoryMemory.h"

#include "tiles/CSpilledTile.h"
#include "tiles/CSystemMemory.h"
#include "tiles/CTileCodec.h"
#include "tiles/ParallelWork.h"

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <new>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

constexpr std::uint64_t MiB = std::uint64_t(1) << 20;

// Where each tile that may leave memory is held: the states and positions, in first-seen order,
// that is the oldest state's first.
struct Holders
{
    std::vector<const std::uint32_t*> order;
    std::unordered_map<const std::uint32_t*, std::vector<std::pair<ImageState*, std::size_t>>> of;
};

Holders Gather(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept)
{
    std::unordered_set<const std::uint32_t*> staying;
    for (const ImageState* state : kept) {
        for (std::size_t i = 0; i < state->TileCount(); ++i)
            staying.insert(state->TileAt(i).get());
    }
    Holders holders;
    for (ImageState* state : candidates) {
        for (std::size_t i = 0; i < state->TileCount(); ++i) {
            const std::uint32_t* tile = state->TileAt(i).get();
            if (!tile || staying.count(tile) != 0)
                continue;
            auto& places = holders.of[tile];
            if (places.empty())
                holders.order.push_back(tile);
            places.emplace_back(state, i);
        }
    }
    return holders;
}

} // namespace

std::uint64_t CHistoryMemory::DefaultBudget()
{
    bool given = false;
    const int mib = qEnvironmentVariableIntValue("QUORVEL_HISTORY_MB", &given);
    if (given && mib > 0)
        return std::uint64_t(mib) * MiB;
    return std::clamp<std::uint64_t>(CSystemMemory::Physical() / 4, 512 * MiB, 4096 * MiB);
}

CHistoryMemory::CHistoryMemory() : budget(DefaultBudget()) {}

CHistoryMemory::~CHistoryMemory()
{
    Settle();
    Wait();
}

void CHistoryMemory::Configure(std::uint64_t budgetBytes, std::vector<std::string> scratchFolders)
{
    Settle();
    Wait();
    job.reset();
    budget = budgetBytes;
    folders = std::move(scratchFolders);
    // Tiles already in the old file keep it open until the states holding them go.
    file.reset();
    unavailable = false;
    full = false;
}

CScratchFile* CHistoryMemory::File()
{
    if (!file && !unavailable) {
        file = CScratchFile::Create(folders);
        unavailable = !file;
    }
    return file.get();
}

void CHistoryMemory::Wait()
{
    if (packer.joinable())
        packer.join();
}

void CHistoryMemory::Prefetch(ImageState& state)
{
    Settle();
    try {
        prefetcher = std::thread([&state] { state.BringBack(); });
    } catch (const std::system_error&) {
        // No thread: the undo or redo brings it back itself.
    }
}

void CHistoryMemory::Settle()
{
    if (prefetcher.joinable())
        prefetcher.join();
}

bool CHistoryMemory::Enforce(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept)
{
    Settle();
    CTilePool& pool = CTilePool::Shared();
    // Steps faster than the packing wait for it beyond a picture over the budget.
    const std::uint64_t slack = kept.empty() ? 0 : kept.front()->TileCount() * CTilePool::TileBytes;
    if (job && job->done)
        Finish(candidates, kept);
    else if (job && pool.LiveBytes() > budget + slack)
        Take(candidates, kept, budget + slack);
    if (full && file && file->Bytes() < bytesWhenFull)
        full = false; // states given up freed room
    if (job || pool.LiveBytes() <= budget)
        return true;
    try {
        Start(candidates, kept);
    } catch (const std::exception&) {
        // Out of memory or no thread: this time nothing more leaves memory.
        job.reset();
    }
    if (job && pool.LiveBytes() > budget + slack)
        Take(candidates, kept, budget + slack);
    return job || pool.LiveBytes() <= budget + slack || (!full && !unavailable);
}

void CHistoryMemory::Start(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept)
{
    CTilePool& pool = CTilePool::Shared();
    const std::uint64_t live = pool.LiveBytes();
    const Holders holders = Gather(candidates, kept);
    auto next = std::make_unique<Job>();
    bool moved = false;
    std::uint64_t freed = 0;
    for (const std::uint32_t* tile : holders.order) {
        if (live - freed <= budget)
            break;
        freed += CTilePool::TileBytes;
        const auto& places = holders.of.at(tile);
        // Brought back earlier: its record still holds the pixels.
        std::shared_ptr<CSpilledTile> spilled;
        for (const auto& [state, index] : places) {
            if (!spilled)
                spilled = state->SpilledAt(index);
        }
        if (spilled) {
            for (const auto& [state, index] : places)
                state->MoveOut(index, spilled);
            moved = true;
            continue;
        }
        const auto& [state, index] = places.front();
        next->tiles.push_back(state->TileAt(index));
        next->widths.push_back(state->TileWidth());
    }
    if (moved && !kept.empty())
        pool.Trim(kept.front()->TileCount() * CTilePool::TileBytes);
    if (!next->tiles.empty() && File() && !full) {
        next->packed.resize(next->tiles.size());
        next->completed.reserve(next->tiles.size());
        job = std::move(next);
        packer = std::thread([this, handed = job.get()] { Pack(*handed); });
    }
}

void CHistoryMemory::Pack(Job& handed)
{
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        std::vector<std::uint8_t> packed;
        for (std::size_t i = next++; i < handed.tiles.size() && !full; i = next++) {
            std::optional<CScratchFile::Record> record;
            if (CTileCodec::Pack(handed.tiles[i].get(), nullptr, CTilePool::PixelsPerTile, handed.widths[i], packed))
                record = file->Write(packed.data(), packed.size());
            if (!record) {
                // The file system is full, or memory is exhausted: the rest stays.
                bytesWhenFull = file->Bytes();
                full = true;
                break;
            }
            try {
                handed.packed[i] = std::make_shared<CSpilledTile>(file, *record);
            } catch (const std::bad_alloc&) {
                file->Free(*record);
            }
            {
                std::lock_guard lock(handed.mutex);
                handed.completed.push_back(i); // reserved: never allocates
            }
            handed.changed.notify_one();
        }
    };
    // A second thread while there is much to pack: the steps that wait for it are the user's.
    RunOnTwoThreads(handed.tiles.size() >= 64, work);
    {
        std::lock_guard lock(handed.mutex);
        handed.done = true;
    }
    handed.changed.notify_one();
}

void CHistoryMemory::Take(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept,
                          std::optional<std::uint64_t> target)
{
    CTilePool& pool = CTilePool::Shared();
    const std::size_t keep = kept.empty() ? 0 : kept.front()->TileCount() * CTilePool::TileBytes;
    std::optional<Holders> holders;
    try {
        holders = Gather(candidates, kept);
    } catch (const std::bad_alloc&) {
        // The tiles stay in memory; their records go with the job.
    }
    bool finished = false;
    while (!finished) {
        std::size_t end = 0;
        {
            std::unique_lock lock(job->mutex);
            job->changed.wait(lock, [&] { return job->done || job->completed.size() > job->taken; });
            end = job->completed.size();
            finished = job->done;
        }
        // Entries below `end` were written before the lock was let go, and stay as they are.
        for (; job->taken < end; ++job->taken) {
            const std::size_t i = job->completed[job->taken];
            if (holders && job->packed[i]) {
                // A tile now shown, or gone with its states, stays or goes as it is.
                const auto found = holders->of.find(job->tiles[i].get());
                if (found != holders->of.end()) {
                    for (const auto& [state, index] : found->second)
                        state->MoveOut(index, job->packed[i]);
                }
            }
            job->tiles[i].reset(); // the packing thread is done with it
        }
        if (target && pool.LiveBytes() <= *target)
            break;
    }
    if (finished) {
        Wait();
        job.reset();
    }
    pool.Trim(keep);
}

void CHistoryMemory::Finish(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept)
{
    Take(candidates, kept, std::nullopt);
}
