#include "tiles/CTilePool.h"

#include <algorithm>
#include <iterator>
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
    std::vector<std::uint32_t*> cooling;
    while (!freeTiles.empty() && freeTiles.size() * TileBytes > keepBytes) {
        cooling.push_back(freeTiles.back());
        freeTiles.pop_back();
    }
    UnmapFreeSlabs(cooling);
    for (std::uint32_t* tile : cooling)
        Cool(tile);
}

void CTilePool::UnmapFreeSlabs(std::vector<std::uint32_t*>& cooling)
{
    // Pages given back a tile at a time split the slab's huge page, and the slab would fault in
    // small pages ever after; a slab with no tile in use goes back to the system whole instead.
    const auto slabOf = [](const std::uint32_t* tile) {
        return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(tile) & ~std::uintptr_t(SlabBytes - 1));
    };
    std::vector<void*> idle;
    try {
        idle.reserve(cold.size() + cooling.size());
    } catch (const std::bad_alloc&) {
        return; // the tiles are given back one by one instead
    }
    for (const auto* list : {&cold, &cooling})
        std::transform(list->begin(), list->end(), std::back_inserter(idle), slabOf);
    std::sort(idle.begin(), idle.end());
    auto kept = idle.begin();
    for (auto run = idle.begin(); run != idle.end();) {
        const auto end = std::find_if(run, idle.end(), [run](void* slab) { return slab != *run; });
        if (std::size_t(end - run) == TilesPerSlab)
            *kept++ = *run;
        run = end;
    }
    idle.erase(kept, idle.end());
    if (idle.empty())
        return;
    const auto unmapped = [&idle, &slabOf](const std::uint32_t* tile) {
        return std::binary_search(idle.begin(), idle.end(), slabOf(tile));
    };
    std::erase_if(cold, unmapped);
    std::erase_if(cooling, unmapped);
    std::erase_if(slabs, [&idle](void* slab) { return std::binary_search(idle.begin(), idle.end(), slab); });
    for (void* slab : idle) {
        ASAN_UNPOISON_MEMORY_REGION(slab, SlabBytes); // the addresses may serve other memory next
        ::munmap(slab, SlabBytes);
    }
}
