#include "tiles/CHistoryMemory.h"

#include "tiles/CSpilledTile.h"
#include "tiles/CSystemMemory.h"
#include "tiles/CTileCodec.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
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

CHistoryMemory::CHistoryMemory(std::uint64_t budgetBytes, std::vector<std::string> scratchFolders)
    : budget(budgetBytes), folders(std::move(scratchFolders))
{
}

CScratchFile* CHistoryMemory::File()
{
    if (!file && !unavailable) {
        file = CScratchFile::Create(folders);
        unavailable = !file;
    }
    return file.get();
}

bool CHistoryMemory::Enforce(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept)
{
    CTilePool& pool = CTilePool::Shared();
    const std::uint64_t live = pool.LiveBytes();
    if (live <= budget)
        return true;
    bool fitted = true;
    try {
        const Holders holders = Gather(candidates, kept);
        // The oldest tiles that free enough, each with the record a state brought back earlier
        // still has, else packed anew.
        std::vector<Leaving> leaving;
        std::uint64_t freed = 0;
        for (const std::uint32_t* tile : holders.order) {
            if (live - freed <= budget)
                break;
            const auto& places = holders.of.at(tile);
            Leaving next{tile, places.front().first->TileWidth(), {}};
            for (const auto& [state, index] : places) {
                if (!next.spilled)
                    next.spilled = state->SpilledAt(index);
            }
            leaving.push_back(std::move(next));
            freed += CTilePool::TileBytes;
        }
        fitted = Pack(leaving);
        for (const Leaving& tile : leaving) {
            if (!tile.spilled)
                continue;
            for (const auto& [state, index] : holders.of.at(tile.pixels))
                state->MoveOut(index, tile.spilled);
        }
        // What left memory goes back to the system, but for what the next step of a preview reuses.
        if (!leaving.empty() && !kept.empty())
            pool.Trim(kept.front()->TileCount() * CTilePool::TileBytes);
    } catch (const std::bad_alloc&) {
        fitted = false;
    }
    return fitted;
}

bool CHistoryMemory::Pack(std::vector<Leaving>& tiles)
{
    CScratchFile* scratch = File();
    if (!scratch)
        return false;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    const auto work = [&] {
        std::vector<std::uint8_t> packed;
        for (std::size_t i = next++; i < tiles.size() && !failed; i = next++) {
            Leaving& tile = tiles[i];
            if (tile.spilled)
                continue;
            std::optional<CScratchFile::Record> record;
            if (CTileCodec::Pack(tile.pixels, nullptr, CTilePool::PixelsPerTile, tile.width, packed))
                record = scratch->Write(packed.data(), packed.size());
            try {
                if (record)
                    tile.spilled = std::make_shared<CSpilledTile>(file, *record);
            } catch (const std::bad_alloc&) {
                scratch->Free(*record);
                record.reset();
            }
            // Full, or out of memory: what is packed leaves, the rest stays in memory.
            failed = failed || !record;
        }
    };
    std::thread helper;
    if (tiles.size() >= 16 && std::thread::hardware_concurrency() > 1) {
        try {
            helper = std::thread(work);
        } catch (const std::system_error&) {
            // This thread packs them all.
        }
    }
    work();
    if (helper.joinable())
        helper.join();
    return !failed;
}
