#pragma once

#include "tiles/CScratchFile.h"
#include "tiles/CTilePool.h"

#include <memory>
#include <mutex>
#include <vector>

// One tile's pixels packed in the scratch file, shared by every state that held the tile when it
// left memory. Its room in the file is given back when the last of them lets go.
//
// While some state holds the tile in memory again, the others that bring it back share that copy,
// so a tile restored for several states still counts once.
class CSpilledTile
{
public:
    CSpilledTile(std::shared_ptr<CScratchFile> in, CScratchFile::Record at) : file(std::move(in)), record(at) {}
    ~CSpilledTile() { file->Free(record); }
    CSpilledTile(const CSpilledTile&) = delete;
    CSpilledTile& operator=(const CSpilledTile&) = delete;

    // The tile in memory: the copy some state holds already, else read and unpacked into a tile
    // from the pool. Null when memory is exhausted or the file cannot be read.
    CTilePool::TilePtr Load(int width);
    // Forgets the copy in memory: a state is about to change its pixels in place.
    void Forget(const std::uint32_t* pixels);

private:
    const std::shared_ptr<CScratchFile> file;
    const CScratchFile::Record record;
    std::mutex mutex;
    std::weak_ptr<std::uint32_t[]> loaded;
};
