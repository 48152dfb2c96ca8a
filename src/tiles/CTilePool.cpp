#include "tiles/CTilePool.h"

#include <cstdlib>
#include <new>

CTilePool& CTilePool::Shared()
{
    // Never destroyed: states may still be released during static destruction.
    static CTilePool* pool = new CTilePool;
    return *pool;
}

CTilePool::~CTilePool()
{
    Trim();
}

CTilePool::TilePtr CTilePool::Acquire()
{
    std::uint32_t* tile = nullptr;
    {
        std::lock_guard lock(mutex);
        if (liveLimit != 0 && (liveTiles + 1) * TileBytes > liveLimit)
            return {};
        if (!freeTiles.empty()) {
            tile = freeTiles.back();
            freeTiles.pop_back();
        }
        ++liveTiles;
    }
    if (tile == nullptr)
        tile = static_cast<std::uint32_t*>(std::aligned_alloc(64, TileBytes));
    if (tile == nullptr) {
        std::lock_guard lock(mutex);
        --liveTiles;
        return {};
    }
    try {
        return TilePtr(tile, [this](std::uint32_t* p) { Release(p); });
    } catch (const std::bad_alloc&) {
        return {}; // shared_ptr has already handed the tile to the deleter
    }
}

void CTilePool::Release(std::uint32_t* tile)
{
    std::lock_guard lock(mutex);
    --liveTiles;
    if (freeTiles.size() * TileBytes < MaxFreeBytes) {
        try {
            freeTiles.push_back(tile);
            return;
        } catch (const std::bad_alloc&) {
        }
    }
    std::free(tile);
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
        std::free(freeTiles.back());
        freeTiles.pop_back();
    }
}
