#pragma once

#include "tiles/CScratchFile.h"
#include "tiles/CSpilledTile.h"
#include "tiles/ImageState.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Keeps the pixels of a history within a budget of memory. Beyond it, the tiles that only older
// states hold move to a scratch file, packed (see CTileCodec), oldest state first; a state coming
// back (undo, redo) brings its tiles back with ImageState::BringBack. Every step is kept: memory
// stays bounded and the disk takes the rest.
//
// Packing runs on a thread of its own while the user goes on; the tiles it packed leave memory at
// the next Enforce. Steps taken faster than it packs wait for it once the history is a picture
// over its budget. A tile brought back keeps its record, so it leaves again without being packed.
//
// The budget counts the tiles in use in the process (the pool's live bytes): the editor's history
// holds nearly all of them. What leaves memory goes back to the system but for one picture's
// worth, which the pool keeps for the next step of a preview.
//
// One thread (the history's) calls it; the packing thread touches only the tiles handed to it.
class CHistoryMemory
{
public:
    // A quarter of the physical memory, at least 512 MiB and at most 4 GiB; QUORVEL_HISTORY_MB in
    // the environment, a whole number of MiB, overrides it.
    static std::uint64_t DefaultBudget();

    CHistoryMemory();
    ~CHistoryMemory();
    CHistoryMemory(const CHistoryMemory&) = delete;
    CHistoryMemory& operator=(const CHistoryMemory&) = delete;

    // The budget and where the scratch file may go (see CScratchFile::Create; the first that
    // works). Waits for packing under way, whose work is dropped.
    void Configure(std::uint64_t budgetBytes, std::vector<std::string> scratchFolders);

    // Moves out what was packed since the last call, then, over the budget, hands the oldest tiles
    // of `candidates` (oldest first) to the packing thread; tiles that a `kept` state holds stay.
    // Tiles brought back earlier leave at once. False when the history is more than a picture over
    // its budget and nothing more can leave: no scratch file could be made, or its file system is
    // full. Everything stays in memory then; the caller decides what to give up.
    bool Enforce(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept);
    // Brings `state` back into memory on a thread of its own, ahead of an undo or redo to it.
    // Until Settle, the caller touches no state but the ones it shows.
    void Prefetch(ImageState& state);
    // Waits for the state being brought back; call before the history changes or is read.
    void Settle();
    // Bytes the scratch file holds.
    std::uint64_t ScratchBytes() const { return file ? file->Bytes() : 0; }

private:
    // Tiles handed to the packing thread: held, so they neither go nor change meanwhile.
    struct Job
    {
        std::vector<CTilePool::TilePtr> tiles;
        std::vector<int> widths;
        std::vector<std::shared_ptr<CSpilledTile>> packed; // null where the file took nothing
        // What the packing thread finished, in order, and whether it is done; under the mutex.
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::size_t> completed;
        std::atomic<bool> done{false};
        std::size_t taken = 0; // the history's: the finished entries it has moved out
    };

    // The scratch file, made on first need; null when none can be made.
    CScratchFile* File();
    // Moves out the tiles of `candidates` brought back earlier and hands the oldest others to the
    // packing thread, as many as take the history back to its budget.
    void Start(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept);
    void Pack(Job& job);
    // Moves out the tiles the job has packed that still only `candidates` hold, waiting for more
    // until the pool's live bytes are down to `target` (without one, all of it) or the job is
    // done; a job done goes.
    void Take(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept,
              std::optional<std::uint64_t> target);
    // Waits for the job and moves out the tiles it packed that still only `candidates` hold.
    void Finish(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept);
    void Wait();

    std::uint64_t budget;
    std::vector<std::string> folders;
    std::shared_ptr<CScratchFile> file;
    bool unavailable = false;
    std::atomic<bool> full{false};
    std::atomic<std::uint64_t> bytesWhenFull{0}; // the file's bytes when it filled: room freed since lets it try again
    std::unique_ptr<Job> job;
    std::thread packer;
    std::thread prefetcher;
};
