#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Storage for the pixel tiles of the history states: slabs of one size, whatever shape a state
// gives its tiles. Tiles released by the history come back here and are handed out again, so that
// a preview step (drop, apply again) reuses pages that are already mapped instead of faulting in a
// fresh image each time.
//
// Tiles are carved from 2 MiB slabs that ask for huge pages, so a new state faults its memory in
// a few hundred times rather than tens of thousands. Trimming gives a slab none of whose tiles is
// in use back to the system whole, so the next one faults in huge pages again; a trimmed tile of a
// slab still in use gives its pages back (the allocator would keep them) and stays for a later
// Acquire.
//
class CTilePool
{
public:
    static constexpr int PixelsPerTile = 128 * 128;
    static constexpr std::size_t TileBytes = std::size_t(PixelsPerTile) * 4;
    // What a closed picture leaves in the pool for the next to start with.
    static constexpr std::size_t ReserveBytes = std::size_t(16) << 20;

    using TilePtr = std::shared_ptr<std::uint32_t[]>;

    // The pool every state of the process draws from.
    static CTilePool& Shared();

    // An uninitialised tile, or null when memory is exhausted (or the limit below is reached).
    TilePtr Acquire();

    // Bytes of tiles currently in use by states (not counting free tiles kept for reuse).
    std::size_t LiveBytes() const;
    // Bytes of released tiles kept for reuse, in memory.
    std::size_t FreeBytes() const;

    // Caps the bytes in use; an Acquire beyond it fails as if memory were exhausted. 0 = no cap.
    // Lets tests exercise the out-of-memory paths deterministically.
    void SetLiveLimit(std::size_t bytes);
    // Returns the memory of the kept free tiles to the system, all but `keepBytes` of them.
    void Trim(std::size_t keepBytes = 0);

    ~CTilePool();

private:
    CTilePool() = default;
    void Release(std::uint32_t* tile);
    // Carves a new slab into `cold`; false when the system gives no memory.
    bool AddSlab();
    // Gives a free tile's pages back to the system and files it with the cold ones.
    void Cool(std::uint32_t* tile);
    // Unmaps the slabs all of whose tiles are cold or in `cooling`, and forgets those tiles.
    void UnmapFreeSlabs(std::vector<std::uint32_t*>& cooling);

    static constexpr std::size_t MaxFreeBytes = std::size_t(768) << 20;
    static constexpr std::size_t SlabBytes = std::size_t(2) << 20;
    static constexpr std::size_t TilesPerSlab = SlabBytes / TileBytes;

    mutable std::mutex mutex;
    std::vector<void*> slabs;
    std::vector<std::uint32_t*> freeTiles; // in memory, newest last
    std::vector<std::uint32_t*> cold;      // without pages until written again
    std::size_t liveTiles = 0;
    std::size_t liveLimit = 0;
};
