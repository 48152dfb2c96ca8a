#include "tiles/CTilePool.h"

#include <new>

#include <sanitizer/asan_interface.h>
#include <sys/mman.h>

CTilePool& CTilePool::Shared()
{
    // Never destroyed: states may still be released during static destruction.
    static CTilePool* pool = new CTilePool;
    return *pool;
}

CTilePool::~CTilePool()
{
    for (void* slab : slabs)
        ::munmap(slab, SlabBytes);
}

bool CTilePool::AddSlab()
{
    try {
        // Room for every tile in either list, so that releasing one never allocates.
        const std::size_t tiles = (slabs.size() + 1) * TilesPerSlab;
        slabs.reserve(slabs.size() + 1);
        freeTiles.reserve(tiles);
        cold.reserve(tiles);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Twice the size, trimmed to a slab on a slab boundary, where a huge page fits.
    void* mapped = ::mmap(nullptr, 2 * SlabBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return false;
    auto* start = static_cast<std::uint8_t*>(mapped);
    auto* slab = reinterpret_cast<std::uint8_t*>((reinterpret_cast<std::uintptr_t>(start) + SlabBytes - 1) &
                                                 ~std::uintptr_t(SlabBytes - 1));
    if (slab != start)
        ::munmap(start, std::size_t(slab - start));
    ::munmap(slab + SlabBytes, SlabBytes - std::size_t(slab - start));
    ::madvise(slab, SlabBytes, MADV_HUGEPAGE); // where huge pages are off, small ones serve
    slabs.push_back(slab);
    // Handed out from the slab's start, so its first tiles share a huge page.
    for (std::size_t i = TilesPerSlab; i-- > 0;)
        cold.push_back(reinterpret_cast<std::uint32_t*>(slab + i * TileBytes));
    ASAN_POISON_MEMORY_REGION(slab, SlabBytes);
    return true;
}

CTilePool::TilePtr CTilePool::Acquire()
{
    std::uint32_t* tile = nullptr;
    {
        std::lock_guard lock(mutex);
        if (liveLimit != 0 && (liveTiles + 1) * TileBytes > liveLimit)
            return {};
        if (freeTiles.empty() && cold.empty() && !AddSlab())
            return {};
        std::vector<std::uint32_t*>& from = freeTiles.empty() ? cold : freeTiles;
        tile = from.back();
        from.pop_back();
        ++liveTiles;
    }
    ASAN_UNPOISON_MEMORY_REGION(tile, TileBytes);
    try {
        return TilePtr(tile, [this](std::uint32_t* p) { Release(p); });
    } catch (const std::bad_alloc&) {
        return {}; // shared_ptr has already handed the tile to the deleter
    }
}

void CTilePool::Release(std::uint32_t* tile)
{
    // Under the address sanitizer, a free tile is no one's to touch.
    ASAN_POISON_MEMORY_REGION(tile, TileBytes);
    std::lock_guard lock(mutex);
    --liveTiles;
    if (freeTiles.size() * TileBytes < MaxFreeBytes)
        freeTiles.push_back(tile);
    else
        Cool(tile);
}

void CTilePool::Cool(std::uint32_t* tile)
{
    ::madvise(tile, TileBytes, MADV_DONTNEED);
    cold.push_back(tile);
}

std::size_t CTilePool::LiveBytes() const
{
    std::lock_guard lock(mutex);
    return liveTiles * TileBytes;
}

std::size_t CTilePool::FreeBytes() const
{
    std::lock_guard lock(mutex);
    return freeTiles.size() * TileBytes;
}

void CTilePool::SetLiveLimit(std::size_t bytes)
{
    std::lock_guard lock(mutex);
    liveLimit = bytes;
}

void CTilePool::Trim(std::size_t keepBytes)
{
    std::lock_guard lock(mutex);
    while (!freeTiles.empty() && freeTiles.size() * TileBytes > keepBytes) {
        Cool(freeTiles.back());
        freeTiles.pop_back();
    }
}
