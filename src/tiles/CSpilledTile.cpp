#include "tiles/CSpilledTile.h"

#include "tiles/CTileCodec.h"

#include <new>

CTilePool::TilePtr CSpilledTile::Load(int width)
{
    std::lock_guard lock(mutex);
    if (CTilePool::TilePtr tile = loaded.lock())
        return tile;
    CTilePool::TilePtr tile = CTilePool::Shared().Acquire();
    if (!tile)
        return {};
    try {
        std::vector<std::uint8_t> packed(record.size);
        if (!file->Read(record, packed.data()) ||
            !CTileCodec::Unpack(packed.data(), packed.size(), nullptr, CTilePool::PixelsPerTile, width, tile.get()))
            return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
    loaded = tile;
    return tile;
}

void CSpilledTile::Forget(const std::uint32_t* pixels)
{
    std::lock_guard lock(mutex);
    if (loaded.lock().get() == pixels)
        loaded.reset();
}
