#pragma once

#include "tiles/CScratchFile.h"
#include "tiles/CSpilledTile.h"
#include "tiles/ImageState.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Keeps the pixels of a history within a budget of memory. Beyond it, the tiles that only older
// states hold move to a scratch file, packed (see CTileCodec), oldest state first; a state coming
// back (undo, redo) brings its tiles back with ImageState::BringBack. Every step is kept: memory
// stays bounded and the disk takes the rest.
//
// The budget counts the tiles in use in the process (the pool's live bytes): the editor's
// history holds nearly all of them. What leaves memory goes back to the system but for one
// picture's worth the pool keeps for the next step of a preview. Tiles are packed on two threads while the caller
// waits.
class CHistoryMemory
{
public:
    // A quarter of the physical memory, at least 512 MiB and at most 4 GiB; QUORVEL_HISTORY_MB in
    // the environment, a whole number of MiB, overrides it.
    static std::uint64_t DefaultBudget();

    // `folders`: where the scratch file may go (see CScratchFile::Create), first that works.
    explicit CHistoryMemory(std::uint64_t budgetBytes = DefaultBudget(), std::vector<std::string> folders = {});

    std::uint64_t Budget() const { return budget; }
    // Moves tiles of `candidates` (oldest first) out of memory until the tiles in use fit the
    // budget; tiles that a `kept` state holds stay. False when the scratch file cannot be made or
    // is full, with everything that did not fit left in memory.
    bool Enforce(const std::vector<ImageState*>& candidates, const std::vector<const ImageState*>& kept);
    // Bytes the scratch file holds.
    std::uint64_t ScratchBytes() const { return file ? file->Bytes() : 0; }

private:
    // A tile about to leave memory and, once packed, where its pixels are.
    struct Leaving
    {
        const std::uint32_t* pixels;
        int width;
        std::shared_ptr<CSpilledTile> spilled;
    };

    // The scratch file, made on first need; null when none can be made.
    CScratchFile* File();
    // Packs and writes the tiles that have no record yet, on two threads; false when some could
    // not be written (the file system is full, or memory is exhausted).
    bool Pack(std::vector<Leaving>& tiles);

    std::uint64_t budget;
    std::vector<std::string> folders;
    std::shared_ptr<CScratchFile> file;
    bool unavailable = false;
};
